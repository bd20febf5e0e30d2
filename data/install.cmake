# The pinyin dictionary: installed into share/tolvar (on Windows beside the
# program), where the data file search finds it, and copied beside the built
# program, so that the program run from the build tree finds it through its
# own directory.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/GBK2py.inf DESTINATION ${TOLVAR_DATA_DESTINATION})

# Always run, but copies only when the file changed (or was removed).
add_custom_target(tolvar_dictionary ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_LIST_DIR}/GBK2py.inf
          $<TARGET_FILE_DIR:tolvar>/GBK2py.inf
  VERBATIM)
add_dependencies(tolvar_dictionary tolvar)
