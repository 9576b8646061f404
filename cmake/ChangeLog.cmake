# Writes the change log "lastCommits.ini" (shown by the about window) from the last commits.
# Run as a script at every build: cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P ChangeLog.cmake
# Outside a git checkout (a source tarball) the log names the version only. The file is rewritten
# only when its text changes, so an unchanged tree does not re-install or re-package anything.
set(text "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} log --no-merges -n 20 "--format=%as  %<(100,trunc)%s"
    OUTPUT_VARIABLE text
    RESULT_VARIABLE status
    ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(text "")
  endif()
  string(REGEX REPLACE " +\n" "\n" text "${text}")
endif()
if(text STREQUAL "")
  set(text "Tamberlin ${VERSION}\n")
endif()
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
