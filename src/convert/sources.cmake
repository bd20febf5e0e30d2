list(APPEND TOLVAR_SOURCES
  src/convert/author_list.cc
  src/convert/cjk_output.cc
  src/convert/convert.cc
  src/convert/tex_reader.cc
)
list(APPEND TOLVAR_TEST_SOURCES
  src/convert/author_list_test.cc
  src/convert/cjk_output_test.cc
  src/convert/convert_test.cc
  src/convert/tex_reader_test.cc
)
