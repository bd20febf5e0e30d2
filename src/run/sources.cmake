list(APPEND TOLVAR_SOURCES
  src/run/data_file.cc
  src/run/env.cc
  src/run/file_names.cc
  src/run/options.cc
  src/run/run.cc
  src/run/settings.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/run/data_file_test.cc
  src/run/file_names_test.cc
  src/run/memory_env.cc
  src/run/options_test.cc
  src/run/run_test.cc
  src/run/settings_test.cc
)
