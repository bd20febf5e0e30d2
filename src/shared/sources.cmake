# What several subsystems share: the character model, the GBK tables, the
# pinyin dictionary, the settings of a run, the data file search and the
# operating-system services behind Env.
list(APPEND TOLVAR_SOURCES
  src/shared/char_model.cc
  src/shared/data_file.cc
  src/shared/env.cc
  src/shared/gbk_tables.cc
  src/shared/name_reading.cc
  src/shared/pinyin_dictionary.cc
  src/shared/settings.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/shared/data_file_test.cc
  src/shared/env_test.cc
  src/shared/gbk_tables_test.cc
  src/shared/memory_env.cc
  src/shared/pinyin_dictionary_test.cc
  src/shared/settings_test.cc
)
# The GBK code tables are generated from data/ at build time.
include(data/tables.cmake)
# The dictionary tests read the shipped GBK2py.inf.
set_property(SOURCE src/shared/pinyin_dictionary_test.cc APPEND PROPERTY
  COMPILE_DEFINITIONS TOLVAR_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
