# SPDX-License-Identifier: GPL-3.0-or-later
# talvesk_test_support: the local HTTP server and the sample shop of tests/support. It links no
# test framework, so the benchmarks build with it when the tests are off.
set(support_dir ${PROJECT_SOURCE_DIR}/tests/support)
add_library(talvesk_test_support STATIC
  ${support_dir}/LocalHttpServer.cpp ${support_dir}/LocalHttpServer.h
  ${support_dir}/SampleShop.cpp ${support_dir}/SampleShop.h
  ${support_dir}/CurrentLayoutPages.cpp ${support_dir}/CurrentLayoutPages.h)
target_include_directories(talvesk_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(talvesk_test_support PUBLIC Qt6::Core Qt6::Network)
talvesk_target_defaults(talvesk_test_support TEST)
