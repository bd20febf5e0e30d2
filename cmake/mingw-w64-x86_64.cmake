# Cross-builds the Windows program with Debian's MinGW-w64 toolchain
# (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The result is a static tolvar.exe that needs no DLL beyond Windows' own.
# When wine is installed, the tests run under it (see tests/windows/).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVAR_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model gives the full C++ thread library; linked
# statically it adds no DLL.
find_program(CMAKE_CXX_COMPILER NAMES ${TOLVAR_MINGW_PREFIX}-g++-posix ${TOLVAR_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TOLVAR_MINGW_PREFIX}-gcc-posix ${TOLVAR_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOLVAR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 warns falsely (-Wrestrict) inside libstdc++ when a C string is
# prepended to a temporary std::string at -O2; nothing in our code is at fault.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# No libstdc++, libgcc or winpthread DLL beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The host has no Windows GoogleTest; it is built from Debian's sources.
set(TOLVAR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build the tests with")

# Test programs and discovery run under wine when it is there.
find_program(TOLVAR_WINE NAMES wine wine64)
if(TOLVAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLVAR_WINE})
endif()
