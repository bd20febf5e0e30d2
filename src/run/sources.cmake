list(APPEND TOLVAR_SOURCES
  src/run/settings.cc
)
list(APPEND TOLVAR_TEST_SOURCES
)
