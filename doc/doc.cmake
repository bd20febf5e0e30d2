# The manual page, with the project's version and install directories
# filled in, installed into share/man/man1.
configure_file(${CMAKE_CURRENT_LIST_DIR}/tolvar.1.in ${CMAKE_BINARY_DIR}/tolvar.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/tolvar.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
