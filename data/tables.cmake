# Builds the GBK code tables from the text files in data/ at build time.
set(TOLVAR_GENERATED_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(TOLVAR_TABLE_ENTRIES
  ${TOLVAR_GENERATED_DIR}/gbk_unicode_entries.inc
  ${TOLVAR_GENERATED_DIR}/gbk_stroke_entries.inc
  ${TOLVAR_GENERATED_DIR}/gbk_stroke_digits.inc)
add_custom_command(
  OUTPUT ${TOLVAR_TABLE_ENTRIES}
  COMMAND ${CMAKE_COMMAND} -DDATA_DIR=${CMAKE_CURRENT_LIST_DIR} -DOUTPUT_DIR=${TOLVAR_GENERATED_DIR}
          -P ${CMAKE_CURRENT_LIST_DIR}/generate_tables.cmake
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/gbk-unicode.txt ${CMAKE_CURRENT_LIST_DIR}/gbk-strokes.txt
          ${CMAKE_CURRENT_LIST_DIR}/generate_tables.cmake
  COMMENT "Generating the GBK code tables"
  VERBATIM)
list(APPEND TOLVAR_SOURCES ${TOLVAR_TABLE_ENTRIES})

# Regenerating the data files from their package sources must give the
# committed files back; skipped unless those sources are installed.
find_program(TOLVAR_BASH bash)
if(TOLVAR_BUILD_TESTS AND TOLVAR_BASH)
  add_test(NAME data_files_regenerate COMMAND ${TOLVAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/../tools/check-data.sh)
  set_tests_properties(data_files_regenerate PROPERTIES SKIP_RETURN_CODE 77)
endif()
