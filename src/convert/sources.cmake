list(APPEND TOLVAR_SOURCES
  src/convert/convert.cc
)
list(APPEND TOLVAR_TEST_SOURCES
)
