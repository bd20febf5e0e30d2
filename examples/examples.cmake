# The sample configuration file is installed beside the other data files,
# where the data file search looks last.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvar.cfg DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvar)

# `cmake --build <dir> --target demo`: runs tolvar on a copy of paper.bbl
# in <dir>/demo, leaving the original example untouched.
add_custom_target(demo
  COMMAND ${CMAKE_COMMAND} -DTOLVAR=$<TARGET_FILE:tolvar>
          -DEXAMPLE=${CMAKE_CURRENT_LIST_DIR}/paper.bbl
          -DDEMO_DIR=${CMAKE_BINARY_DIR}/demo
          -P ${CMAKE_CURRENT_LIST_DIR}/demo.cmake
  DEPENDS tolvar
  VERBATIM)
