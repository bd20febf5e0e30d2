list(APPEND TOLVAR_SOURCES src/platform/search_path.cc)
list(APPEND TOLVAR_TEST_SOURCES src/platform/search_path_test.cc)
# Exactly one implementation file per system is compiled.
if(WIN32)
  list(APPEND TOLVAR_SOURCES src/platform/platform-win32.cc)
else()
  list(APPEND TOLVAR_SOURCES src/platform/platform-posix.cc)
  list(APPEND TOLVAR_TEST_SOURCES src/platform/platform-posix_test.cc)
endif()
