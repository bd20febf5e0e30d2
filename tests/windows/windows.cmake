# Tests of the Windows build (run on Windows or under wine): a stand-in
# bibtex.exe, and whole-program cases that start tolvar.exe with
# CreateProcess.
add_executable(tolvar_stand_in_bibtex tests/windows/stand_in_bibtex.cc)
set_target_properties(tolvar_stand_in_bibtex PROPERTIES
  OUTPUT_NAME bibtex
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/stand-in)

target_sources(tolvar_tests PRIVATE tests/windows/whole_program_test.cc)
target_compile_definitions(tolvar_tests PRIVATE
  TOLVAR_STAND_IN_DIR="$<TARGET_FILE_DIR:tolvar_stand_in_bibtex>")
add_dependencies(tolvar_tests tolvar_stand_in_bibtex)

# The GBK file-name cases again, in a process with the Chinese code page:
# wine takes it from the locale (which must be generated on the host).
add_test(NAME tolvar_tests_gbk_names COMMAND tolvar_tests --gtest_filter=WindowsGbkNames.*:WindowsPlatformGbk.*)
set_tests_properties(tolvar_tests_gbk_names PROPERTIES
  ENVIRONMENT LC_ALL=zh_CN.UTF-8
  SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
