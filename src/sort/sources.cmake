list(APPEND TOLVAR_SOURCES
  src/sort/char_model.cc
  src/sort/compare_keys.cc
  src/sort/gbk_tables.cc
  src/sort/pinyin_dictionary.cc
  src/sort/sort_bibitems.cc
  src/sort/sort_key.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/sort/compare_keys_test.cc
  src/sort/gbk_tables_test.cc
  src/sort/pinyin_dictionary_test.cc
  src/sort/sort_bibitems_test.cc
  src/sort/sort_key_test.cc
  src/sort/utf8_sort_test.cc
)
# The GBK code tables are generated from data/ at build time.
include(data/tables.cmake)
# The dictionary tests read the shipped GBK2py.inf.
set_property(SOURCE src/sort/pinyin_dictionary_test.cc src/sort/utf8_sort_test.cc APPEND PROPERTY
  COMPILE_DEFINITIONS TOLVAR_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
