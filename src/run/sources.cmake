list(APPEND TOLVAR_SOURCES
  src/run/file_names.cc
  src/run/options.cc
  src/run/run.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/run/file_names_test.cc
  src/run/options_test.cc
  src/run/run_test.cc
)
