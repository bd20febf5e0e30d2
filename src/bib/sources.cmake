# The sort keys of .bib files: the reader and edit writer, the key of a
# name list, the key pass and the run of -keys.
list(APPEND TOLVAR_SOURCES
  src/bib/bib_file.cc
  src/bib/bib_key.cc
  src/bib/bib_keys.cc
  src/bib/bib_run.cc
  src/bib/bib_sources.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/bib/bib_file_test.cc
  src/bib/bib_key_test.cc
  src/bib/bib_keys_test.cc
)
# The key tests read the shipped GBK2py.inf.
set_property(SOURCE src/bib/bib_key_test.cc APPEND PROPERTY
  COMPILE_DEFINITIONS TOLVAR_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
