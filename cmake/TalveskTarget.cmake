# SPDX-License-Identifier: GPL-3.0-or-later
# Compiler settings for every target of our own: warnings (as errors with TALVESK_WERROR),
# strict Qt string conversions, the hardening a distribution builds with, and the optional
# sanitizers.
#   talvesk_target_defaults(<target> [TEST])
# TEST: code that only tests (test programs and their support). It is optimised little and
# carries line tables only: the tests spend their time in the browser engine and the program's
# own code, while their sources, full of assertion macros, took most of the build at -O2 -g.
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)

function(talvesk_target_defaults target)
  cmake_parse_arguments(ARG "TEST" "" "" ${ARGN})
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast)
  if(TALVESK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_definitions(${target} PRIVATE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)
  # Position-independent, a stack guard in functions with arrays or address-taken locals, and
  # a read-only relocation table bound at start-up.
  set_property(TARGET ${target} PROPERTY POSITION_INDEPENDENT_CODE ON)
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  target_link_options(${target} PRIVATE -Wl,-z,relro,-z,now)
  if(TALVESK_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # GCC's may-be-uninitialized analysis misfires on instrumented code (std::optional of Qt
      # types); the normal build keeps the warning as an error.
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    else()
      # clang 14 cannot place -fsanitize=function's check before a coroutine's split parts.
      target_compile_options(${target} PRIVATE -fno-sanitize=function)
      target_link_options(${target} PRIVATE -fno-sanitize=function)
    endif()
    # -O1, as the sanitizers advise, keeps instrumented code fast with exact stack traces, at
    # half the compile time of -O2; this build only runs the tests.
    if(ARG_TEST)
      target_compile_options(${target} PRIVATE -O0 -g1)
    else()
      target_compile_options(${target} PRIVATE -O1 -g1)
    endif()
  else()
    # Fortified calls need the optimiser; the sanitizers check the same faults themselves. Any
    # level the compiler sets by default gives way to ours.
    target_compile_options(${target} PRIVATE
      "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    if(ARG_TEST)
      target_compile_options(${target} PRIVATE -O1 -g1)
    endif()
  endif()
endfunction()
