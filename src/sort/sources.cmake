list(APPEND TOLVAR_SOURCES
  src/sort/gbk_tables.cc
  src/sort/pinyin_dictionary.cc
  src/sort/sort_bibitems.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/sort/gbk_tables_test.cc
)
# The GBK code tables are generated from data/ at build time.
include(data/tables.cmake)
