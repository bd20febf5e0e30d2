# The sample configuration file is installed beside the other data files,
# where the data file search finds it (last, on Unix). On Windows it gets
# CR LF line ends, which the program reads as well, for Windows editors.
if(WIN32)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/crlf/tolvar.cfg
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_LIST_DIR}/tolvar.cfg -DOUT=${CMAKE_BINARY_DIR}/crlf/tolvar.cfg
            -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/tolvar.cfg ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
    VERBATIM)
  add_custom_target(tolvar_sample_cfg ALL DEPENDS ${CMAKE_BINARY_DIR}/crlf/tolvar.cfg)
  install(FILES ${CMAKE_BINARY_DIR}/crlf/tolvar.cfg DESTINATION ${TOLVAR_DATA_DESTINATION})
else()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvar.cfg DESTINATION ${TOLVAR_DATA_DESTINATION})
endif()

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
