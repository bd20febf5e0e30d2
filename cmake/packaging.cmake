# Installable packages, made by CPack from what `cmake --install` lays out:
# a Debian package on Linux, a zip for Windows from the MinGW-w64 build.
# The version is the project version, as for `tolvar --version`.
#   cmake --workflow --preset package           -> build-package/tolvar_<version>_amd64.deb
#   cmake --workflow --preset package-windows   -> build-package-windows/tolvar-<version>-win64.zip
set(CPACK_PACKAGE_NAME tolvar)
set(CPACK_PACKAGE_VENDOR "the tolvar developers")
set(CPACK_PACKAGE_CONTACT "${TOLVAR_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
# Values such as the description, with its quotes, reach CPack unchanged.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # One folder, tolvar-<version>-win64, to unpack anywhere and put on Path.
  set(CPACK_PACKAGE_FILE_NAME tolvar-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION tex)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
  # bibtex, which tolvar runs when the .bbl is missing or already processed.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS texlive-binaries)
  # The extended description; CPack puts the summary above it as the synopsis.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Makes labels safe for CJK, writes Chinese for \"and\"/\"et al.\", sorts by pinyin.")
  # The C and C++ runtime the program links, with the versions it needs.
  find_program(TOLVAR_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(TOLVAR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    message(WARNING "dpkg-shlibdeps not found (package dpkg-dev): the Debian package "
                    "depends on the runtime libraries without their versions")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
  if(NOT TOLVAR_DEBIAN_LAYOUT)
    message(STATUS "TOLVAR_DEBIAN_LAYOUT is off: a Debian package of this build would "
                   "have an uncompressed manual page and no copyright file")
  endif()
endif()

include(CPack)
