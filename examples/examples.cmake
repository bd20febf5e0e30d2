# The sample configuration file is installed beside the other data files,
# where the data file search looks last.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvar.cfg DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvar)

# `cmake --build <dir> --target demo`: runs tolvar on a copy of paper.bbl
# in <dir>/demo, leaving the original example untouched. The visible label
# form keeps the result readable; sorting by pinyin shows the third job.
add_custom_target(demo
  COMMAND ${CMAKE_COMMAND} -DTOLVAR=$<TARGET_FILE:tolvar>
          -DEXAMPLE=${CMAKE_CURRENT_LIST_DIR}/paper.bbl
          -DDEMO_DIR=${CMAKE_BINARY_DIR}/demo
          -P ${CMAKE_CURRENT_LIST_DIR}/demo.cmake
  DEPENDS tolvar
  VERBATIM)
# The pinyin dictionary is copied beside the built program by its own target.
if(TARGET tolvar_dictionary)
  add_dependencies(demo tolvar_dictionary)
endif()
