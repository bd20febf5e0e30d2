# Exactly one implementation file per system is compiled.
if(WIN32)
  list(APPEND TOLVAR_SOURCES src/platform/platform-win32.cc)
else()
  list(APPEND TOLVAR_SOURCES src/platform/platform-posix.cc)
endif()
