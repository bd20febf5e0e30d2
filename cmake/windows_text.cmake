# Writes a text file for Windows users, with CR LF line ends:
#   cmake -DIN=file -DOUT=file [-DGROFF=groff] [-DBOM=ON] -P windows_text.cmake
# With GROFF, IN is a manual page that is formatted as plain UTF-8 text first
# (no hyphenation, no overstriking). With BOM, the UTF-8 text starts with a
# byte order mark, by which Notepad tells UTF-8 from the ANSI code page
# (GBK on a Chinese Windows).
if(GROFF)
  execute_process(COMMAND ${GROFF} -K utf-8 -t -man -rHY=0 -Tutf8 -P-cbou ${IN}
    OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "${GROFF} failed on ${IN} (${status}):\n${errors}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
if(BOM)
  string(ASCII 239 187 191 bom)
  string(PREPEND text "${bom}")
endif()
file(WRITE ${OUT} "${text}")
