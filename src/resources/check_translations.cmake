# Fails when a text the user reads has no finished English translation: lupdate reads the
# sources into a copy of the .ts, so a text added to the code without running
# update_translations counts as well as one left unfinished in the file.
#   cmake -DLUPDATE=... -DTS_FILE=... -DSOURCES_LIST=... -DWORK_DIR=... -P check_translations.cmake
cmake_policy(VERSION 3.22)
set(copy ${WORK_DIR}/translations_check.ts)
file(COPY_FILE ${TS_FILE} ${copy})
execute_process(
  COMMAND ${LUPDATE} -silent -locations none -no-obsolete @${SOURCES_LIST} -ts ${copy}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed:\n${output}")
endif()

file(READ ${copy} ts)
string(REGEX MATCHALL "<source>[^<]*</source>[ \t\r\n]*<translation type=\"unfinished\"" unfinished "${ts}")
list(LENGTH unfinished count)
if(count GREATER 0)
  set(names "")
  foreach(entry IN LISTS unfinished)
    string(REGEX REPLACE "<source>([^<]*)</source>.*" "\\1" source "${entry}")
    string(APPEND names "\n  ${source}")
  endforeach()
  message(FATAL_ERROR "${count} text(s) without an English translation:${names}\n"
    "Run `cmake --build <build dir> --target update_translations` and translate them in "
    "${TS_FILE}.")
endif()

# A Chinese text written as a plain string (QString::fromUtf8, QStringLiteral) reaches the
# English user untranslated: every string literal holding a Chinese character must be a
# source text lupdate found. The byte range covers UTF-8's CJK and full-width forms.
string(ASCII 227 first)
string(ASCII 233 last)
string(ASCII 239 wide)
string(REGEX MATCHALL "<source>[^<]*</source>" sources "${ts}")
string(REPLACE "&lt;" "<" sources "${sources}")
string(REPLACE "&gt;" ">" sources "${sources}")
string(REPLACE "&quot;" "\"" sources "${sources}")
string(REPLACE "&apos;" "'" sources "${sources}")
string(REPLACE "&amp;" "&" sources "${sources}")
file(STRINGS ${SOURCES_LIST} files)
set(plain "")
foreach(file IN LISTS files)
  file(STRINGS ${file} lines ENCODING UTF-8 REGEX "\"[^\"]*[${first}-${last}${wide}]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "(^|[ \t])//.*$" "" line "${line}") # comments
    string(REGEX MATCHALL "\"[^\"]*[${first}-${last}${wide}][^\"]*\"" literals "${line}")
    foreach(literal IN LISTS literals)
      string(REGEX REPLACE "^\"(.*)\"$" "<source>\\1</source>" wanted "${literal}")
      string(FIND "${sources}" "${wanted}" at)
      if(at EQUAL -1)
        string(APPEND plain "\n  ${file}: ${literal}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(plain)
  message(FATAL_ERROR "Chinese text(s) not passed through QCoreApplication::translate:${plain}")
endif()
