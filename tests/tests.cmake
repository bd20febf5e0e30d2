find_package(GTest REQUIRED)
include(GoogleTest)

add_executable(tolvar_tests ${TOLVAR_TEST_SOURCES} tests/placeholder_test.cc)
target_include_directories(tolvar_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tolvar_tests PRIVATE tolvar_lib GTest::gtest_main)
gtest_discover_tests(tolvar_tests DISCOVERY_TIMEOUT 60)
