if(TOLVAR_GTEST_SOURCE_DIR)
  # A cross build has no GoogleTest for its target: build it from source.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TOLVAR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

set(TOLVAR_WHOLE_PROGRAM_TESTS tests/examples_test.cc)
if(NOT WIN32)
  list(APPEND TOLVAR_WHOLE_PROGRAM_TESTS tests/tolvar_test.cc tests/sort_program_test.cc
    tests/convert_program_test.cc
    tests/sort_plainnat_test.cc)
endif()

add_executable(tolvar_tests ${TOLVAR_TEST_SOURCES} ${TOLVAR_WHOLE_PROGRAM_TESTS})
target_include_directories(tolvar_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(tolvar_tests PRIVATE
  TOLVAR_PROGRAM="$<TARGET_FILE:tolvar>"
  TOLVAR_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
target_link_libraries(tolvar_tests PRIVATE tolvar_lib GTest::gtest_main)
# The whole-program tests run the built program.
add_dependencies(tolvar_tests tolvar)
if(CMAKE_CROSSCOMPILING)
  # Under an emulator every start is slow: one process runs all unit tests.
  add_test(NAME tolvar_tests COMMAND tolvar_tests --gtest_brief=1)
else()
  gtest_discover_tests(tolvar_tests DISCOVERY_TIMEOUT 60)
endif()
# ... and sort with the pinyin dictionary copied beside it.
if(TARGET tolvar_dictionary)
  add_dependencies(tolvar_tests tolvar_dictionary)
endif()

include(tests/e2e/e2e.cmake)
if(WIN32)
  include(tests/windows/windows.cmake)
endif()
