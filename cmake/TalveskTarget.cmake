# Compiler settings for every target of our own: warnings (as errors with TALVESK_WERROR),
# strict Qt string conversions, and the optional sanitizers.
function(talvesk_target_defaults target)
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
  if(TALVESK_SANITIZE)
    # GCC's may-be-uninitialized analysis misfires on sanitizer-instrumented code (std::optional
    # of Qt types); the normal build keeps the warning as an error.
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined -Wno-maybe-uninitialized)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
