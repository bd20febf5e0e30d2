# Copies the example .bbl to a scratch folder and runs tolvar on it.
# Expects TOLVAR (the program), EXAMPLE (the .bbl) and DEMO_DIR.
file(REMOVE_RECURSE ${DEMO_DIR})
file(MAKE_DIRECTORY ${DEMO_DIR})
file(COPY ${EXAMPLE} DESTINATION ${DEMO_DIR})
get_filename_component(name ${EXAMPLE} NAME)
execute_process(COMMAND ${TOLVAR} -visible -sort=pinyin ${name} WORKING_DIRECTORY ${DEMO_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "tolvar failed (${result})")
endif()
message(STATUS "Converted: ${DEMO_DIR}/${name}")
message(STATUS "Sorted, not yet converted: ${DEMO_DIR}/${name}.bak")
message(STATUS "Both are GBK text; to read them on a UTF-8 terminal: iconv -f GBK -t UTF-8 ${DEMO_DIR}/${name}")
