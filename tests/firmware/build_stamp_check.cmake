# Runs cmake/build_stamp.cmake on throwaway git checkouts in WORK_DIR and checks
# the commit and date it writes for --version, and that an unchanged state
# leaves the file untouched (else every build would relink the programs).
#   cmake -DSOURCE_DIR=. -DWORK_DIR=/tmp/x -P build_stamp_check.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/repo/sub)
set(out ${WORK_DIR}/build_stamp.cpp)
unset(ENV{SOURCE_DATE_EPOCH})

function(git)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "GIT_COMMITTER_DATE=@86400 +0000" "GIT_AUTHOR_DATE=@86400 +0000"
    git -C ${WORK_DIR}/repo -c user.name=t -c user.email=t@t ${ARGN} RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE error)
  if(failed)
    message(FATAL_ERROR "git ${ARGN}: ${error}")
  endif()
endfunction()

function(expect dir commit date)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${dir} -DOUTPUT=${out} -P ${SOURCE_DIR}/cmake/build_stamp.cmake)
  file(READ ${out} text)
  if(NOT text MATCHES "return \"${commit}\";\n}\n\n[^\n]*\n{\n    return \"${date}\";")
    message(FATAL_ERROR "${dir}: expected commit '${commit}', date '${date}':\n${text}")
  endif()
endfunction()

file(WRITE ${WORK_DIR}/repo/a.txt "a\n")
foreach(command "init -q" "add a.txt" "commit -q -m a")
  separate_arguments(command)
  git(${command})
endforeach()
string(REPEAT "[0-9a-f]" 12 hash)
# Clean, dated by the commit; an untracked file is no change.
file(WRITE ${WORK_DIR}/repo/untracked.txt "u\n")
expect(${WORK_DIR}/repo "${hash}" 1970-01-02)
file(TIMESTAMP ${out} written "%s")
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
expect(${WORK_DIR}/repo "${hash}" 1970-01-02)
file(TIMESTAMP ${out} again "%s")
if(NOT written STREQUAL again)
  message(FATAL_ERROR "the same commit rewrote ${out}")
endif()
# A changed tracked file; SOURCE_DATE_EPOCH before the commit's time.
file(APPEND ${WORK_DIR}/repo/a.txt "b\n")
set(ENV{SOURCE_DATE_EPOCH} 0)
expect(${WORK_DIR}/repo "${hash}\\+changes" 1970-01-01)
# A folder inside a checkout is not a checkout of its own.
unset(ENV{SOURCE_DATE_EPOCH})
expect(${WORK_DIR}/repo/sub unknown unknown)
