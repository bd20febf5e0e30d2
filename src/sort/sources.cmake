list(APPEND TOLVAR_SOURCES
  src/sort/compare_keys.cc
  src/sort/sort_bibitems.cc
  src/sort/sort_key.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/sort/compare_keys_test.cc
  src/sort/sort_bibitems_test.cc
  src/sort/sort_key_test.cc
  src/sort/utf8_sort_test.cc
)
# The UTF-8 sort tests read the shipped GBK2py.inf.
set_property(SOURCE src/sort/utf8_sort_test.cc APPEND PROPERTY
  COMPILE_DEFINITIONS TOLVAR_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
