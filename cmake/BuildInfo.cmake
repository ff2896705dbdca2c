# Writes the commit the program is built from and that commit's date into a
# header (rewritten only when they change, so nothing recompiles needlessly).
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -P BuildInfo.cmake
set(commit "")
set(date "")
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM)
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} log -1 --format=%cs
    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
    OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(commit AND changes)
    string(APPEND commit "+changes")
  endif()
endif()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT "// Generated at build time.
#pragma once
#define QD_BUILD_COMMIT \"@commit@\"
#define QD_BUILD_DATE \"@date@\"
" @ONLY)
