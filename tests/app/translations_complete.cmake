# Every text the window shows has its translation in each language: lupdate
# merges the sources into a copy of each translations/*.ts, and a text left
# unfinished there (new, or changed since it was translated) or vanished (no
# longer in the sources) fails the test with its name.
# Arguments: LUPDATE, SOURCE_DIR, SOURCES_LIST (one source file a line), WORK_DIR.
file(GLOB translations ${SOURCE_DIR}/translations/*.ts)
if(NOT translations)
  message(FATAL_ERROR "no translations in ${SOURCE_DIR}/translations")
endif()
file(MAKE_DIRECTORY ${WORK_DIR})
set(failed FALSE)
foreach(translation IN LISTS translations)
  get_filename_component(name ${translation} NAME)
  set(copy ${WORK_DIR}/${name})
  configure_file(${translation} ${copy} COPYONLY)
  execute_process(COMMAND ${LUPDATE} -silent -locations none -I ${SOURCE_DIR}/src @${SOURCES_LIST} -ts ${copy}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}: ${status}")
  endif()
  file(READ ${copy} text)
  # A comment for the translator may stand between a text and its translation.
  set(comment "<(comment|extracomment|translatorcomment)>[^<]*</[a-z]+>[^<]*")
  string(REGEX MATCHALL "<source>[^<]*</source>[^<]*(${comment})*<translation type=\"(unfinished|vanished|obsolete)\""
         open "${text}")
  foreach(entry IN LISTS open)
    string(REGEX MATCH "type=\"([a-z]+)\"" kind "${entry}")
    set(kind ${CMAKE_MATCH_1})
    string(REGEX MATCH "<source>([^<]*)</source>" source "${entry}")
    message(NOTICE "${name}: ${kind} text: ${CMAKE_MATCH_1}")
    set(failed TRUE)
  endforeach()
endforeach()
if(failed)
  message(FATAL_ERROR "Translations are behind the sources: run `cmake --build build --target update_translations` "
                      "and translate the texts marked unfinished.")
endif()
list(LENGTH translations count)
message(STATUS "${count} translation(s) complete")
