# Turns data/gbk-unicode.txt and data/gbk-strokes.txt into the C++ entry
# lists that src/shared/gbk_tables.cc compiles into its tables.
# Run by the build as: cmake -DDATA_DIR=... -DOUTPUT_DIR=... -P generate_tables.cmake
# It runs on the build host, so it works when cross-compiling too.

function(generate_entries input output line_regex replacement allowed)
  file(READ "${input}" text)
  string(REGEX REPLACE "\r?\n" "\n" text "${text}")
  string(REGEX REPLACE "${line_regex}" "${replacement}" entries "${text}")
  # Whatever did not match the line format is left unconverted: refuse it
  # here rather than let the compiler report a puzzling error.
  string(REGEX MATCH "[^${allowed}]" stray "${entries}")
  if(NOT stray STREQUAL "")
    message(FATAL_ERROR "${input}: a line is not in the expected format (found '${stray}')")
  endif()
  get_filename_component(name "${input}" NAME)
  set(header "// Generated from data/${name}; do not edit.\n")
  if(EXISTS "${output}")
    file(READ "${output}" old)
    if(old STREQUAL "${header}${entries}")
      return()
    endif()
  endif()
  file(WRITE "${output}" "${header}${entries}")
endfunction()

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
generate_entries("${DATA_DIR}/gbk-unicode.txt" "${OUTPUT_DIR}/gbk_unicode_entries.inc"
  "([0-9A-F][0-9A-F][0-9A-F][0-9A-F])\tU\\+([0-9A-F][0-9A-F][0-9A-F][0-9A-F])\n"
  "{0x\\1, 0x\\2},\n" "{}0-9A-Fx, \n")
generate_entries("${DATA_DIR}/gbk-strokes.txt" "${OUTPUT_DIR}/gbk_stroke_entries.inc"
  "([0-9A-F][0-9A-F][0-9A-F][0-9A-F])\t([1-5]+)\n"
  "{0x\\1, \"\\2\"sv},\n" "{}0-9A-Fsvx, \"\n")
# The same sequences again as one string literal, in the same order: the
# table keeps offsets into it rather than a pointer for each character.
generate_entries("${DATA_DIR}/gbk-strokes.txt" "${OUTPUT_DIR}/gbk_stroke_digits.inc"
  "([0-9A-F][0-9A-F][0-9A-F][0-9A-F])\t([1-5]+)\n"
  "\"\\2\"\n" "1-5\"\n")
