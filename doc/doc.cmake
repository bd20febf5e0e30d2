# The manual page, with the project's version and install folders filled in.
# Unix systems get it as a manual page; Windows, which has no `man`, gets it
# formatted as a text file beside the program.
if(WIN32)
  set(TOLVAR_MANUAL_DATADIR ".IR ..\\eshare\\etolvar\\e\nrelative to the program's directory.")
  set(TOLVAR_MANUAL_DATA_PLACE "beside\n.IR tolvar.exe")
else()
  set(TOLVAR_MANUAL_DATADIR ".IR ${CMAKE_INSTALL_FULL_DATADIR}/tolvar/ .")
  set(TOLVAR_MANUAL_DATA_PLACE "in\n.IR ${CMAKE_INSTALL_FULL_DATADIR}/tolvar/")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tolvar.1.in ${CMAKE_BINARY_DIR}/tolvar.1 @ONLY)
# The Chinese page takes the same variables, worded in Chinese.
block()
  if(WIN32)
    set(TOLVAR_MANUAL_DATADIR ".IR ..\\eshare\\etolvar\\e\n（相对于程序所在目录）。")
    set(TOLVAR_MANUAL_DATA_PLACE ".I tolvar.exe\n旁边")
  else()
    set(TOLVAR_MANUAL_DATADIR ".IR ${CMAKE_INSTALL_FULL_DATADIR}/tolvar/ 。")
    set(TOLVAR_MANUAL_DATA_PLACE ".I ${CMAKE_INSTALL_FULL_DATADIR}/tolvar/\n中")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/tolvar.zh_CN.1.in ${CMAKE_BINARY_DIR}/zh_CN/tolvar.1 @ONLY)
endblock()

set(TOLVAR_TEXT_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake)

if(WIN32)
  # README, LICENSE and the manual as .txt files with CR LF line ends, for
  # Notepad and every other Windows editor.
  set(windows_docs)
  # The Chinese guide also starts with a byte order mark, without which
  # Notepad on a Chinese Windows would read it as GBK.
  foreach(pair "README.md;README.txt;" "LICENSE;LICENSE.txt;" "README.zh-CN.md;README.zh-CN.txt;-DBOM=ON")
    list(GET pair 0 from)
    list(GET pair 1 to)
    list(GET pair 2 bom)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${to}
      COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${from} -DOUT=${CMAKE_BINARY_DIR}/${to}
              ${bom} -P ${TOLVAR_TEXT_SCRIPT}
      DEPENDS ${PROJECT_SOURCE_DIR}/${from} ${TOLVAR_TEXT_SCRIPT}
      VERBATIM)
    list(APPEND windows_docs ${CMAKE_BINARY_DIR}/${to})
  endforeach()
  find_program(TOLVAR_GROFF groff)
  if(TOLVAR_GROFF)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/tolvar-manual.txt
      COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_BINARY_DIR}/tolvar.1 -DOUT=${CMAKE_BINARY_DIR}/tolvar-manual.txt
              -DGROFF=${TOLVAR_GROFF} -P ${TOLVAR_TEXT_SCRIPT}
      DEPENDS ${CMAKE_BINARY_DIR}/tolvar.1 ${TOLVAR_TEXT_SCRIPT}
      VERBATIM)
    list(APPEND windows_docs ${CMAKE_BINARY_DIR}/tolvar-manual.txt)
  else()
    message(WARNING "groff not found: the manual (tolvar-manual.txt) is not made or installed")
  endif()
  add_custom_target(tolvar_windows_docs ALL DEPENDS ${windows_docs})
  install(FILES ${windows_docs} DESTINATION ${TOLVAR_DOC_DESTINATION})
elseif(TOLVAR_DEBIAN_LAYOUT)
  # As Debian wants it: the manual page and a changelog compressed (with no
  # name or time stamp in the gzip header), the copyright file, and the
  # lintian overrides, each with the reason for it.
  find_program(TOLVAR_GZIP gzip REQUIRED)
  string(TIMESTAMP TOLVAR_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
  configure_file(${CMAKE_BINARY_DIR}/tolvar.1 ${CMAKE_BINARY_DIR}/debian/tolvar.1 COPYONLY)
  configure_file(${CMAKE_BINARY_DIR}/zh_CN/tolvar.1 ${CMAKE_BINARY_DIR}/debian/zh_CN/tolvar.1 COPYONLY)
  set(compressed)
  foreach(file changelog tolvar.1 zh_CN/tolvar.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/${file}.gz
      COMMAND ${TOLVAR_GZIP} -9 -n -k -f ${CMAKE_BINARY_DIR}/debian/${file}
      DEPENDS ${CMAKE_BINARY_DIR}/debian/${file}
      VERBATIM)
    list(APPEND compressed ${CMAKE_BINARY_DIR}/debian/${file}.gz)
  endforeach()
  add_custom_target(tolvar_debian_docs ALL DEPENDS ${compressed})
  install(FILES ${CMAKE_BINARY_DIR}/debian/tolvar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_BINARY_DIR}/debian/zh_CN/tolvar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1)
  install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright
                ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${TOLVAR_DOC_DESTINATION})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tolvar)
else()
  install(FILES ${CMAKE_BINARY_DIR}/tolvar.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_BINARY_DIR}/zh_CN/tolvar.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${TOLVAR_DOC_DESTINATION})
endif()
