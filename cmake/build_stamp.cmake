# Writes OUTPUT, the source of BuildCommit() and BuildDate() (firmware/build_stamp.h),
# for the source tree SOURCE_DIR. Run at every build (firmware/CMakeLists.txt); the
# file is rewritten only when its text changes, so a new commit recompiles this one
# file and relinks the programs, nothing else.
#
#   cmake -DSOURCE_DIR=... -DOUTPUT=.../build_stamp.cpp -P cmake/build_stamp.cmake
#
# Commit: the short hash (12 digits, the same in every clone), "+changes" when a
# tracked file differs from it; "unknown" when SOURCE_DIR is not the top of a git
# checkout (a source archive, even one unpacked inside another repository).
# Date: from SOURCE_DATE_EPOCH, else the commit's time, so a build is dated the
# same in every run; "unknown" when there is neither.
set(commit unknown)
set(date unknown)
find_program(VARNOX_GIT git)
if(VARNOX_GIT)
  execute_process(COMMAND ${VARNOX_GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel --short=12 HEAD
    OUTPUT_VARIABLE lines RESULT_VARIABLE failed ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" lines "${lines}")
  list(LENGTH lines count)
  if(NOT failed AND count EQUAL 2)
    list(GET lines 0 top)
    file(REAL_PATH ${SOURCE_DIR} source_real)
    file(REAL_PATH ${top} top_real)
    if(top_real STREQUAL source_real)
      list(GET lines 1 commit)
      execute_process(COMMAND ${VARNOX_GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
        OUTPUT_VARIABLE changes ERROR_QUIET)
      if(NOT changes STREQUAL "")
        string(APPEND commit "+changes")
      endif()
      execute_process(COMMAND ${VARNOX_GIT} -C ${SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE commit_time ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
  endif()
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$" AND commit_time MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
endif()
if("$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  # string(TIMESTAMP) takes the time from SOURCE_DATE_EPOCH.
  string(TIMESTAMP date "%Y-%m-%d" UTC)
endif()

set(text "// Generated at build time by cmake/build_stamp.cmake; do not edit.

#include \"firmware/build_stamp.h\"

namespace varnox {

std::string_view BuildCommit()
{
    return \"${commit}\";
}

std::string_view BuildDate()
{
    return \"${date}\";
}

}  // namespace varnox
")
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
