# Fails when a text the user reads has no finished English translation: lupdate reads the
# sources into a copy of the .ts, so a text added to the code without running
# update_translations counts as well as one left unfinished in the file.
#   cmake -DLUPDATE=... -DTS_FILE=... -DSOURCES_LIST=... -DWORK_DIR=... -P check_translations.cmake
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
