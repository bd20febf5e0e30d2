list(APPEND TOLVAR_SOURCES
  src/sort/sort_bibitems.cc
)
list(APPEND TOLVAR_TEST_SOURCES
)
