# Runs the image generator into WORK_DIR and checks that
# firmware/images/stand-in.sha256 is exactly what sha256sum writes for its
# output, in the order of image_list.inc: otherwise the build would call the
# generated images real, or the set digest of the stand-ins would be wrong.
#   cmake -DGENERATOR_PROGRAM=bin/gen_images -DSOURCE_DIR=. -DWORK_DIR=/tmp/x -P stand_in_record_check.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${GENERATOR_PROGRAM} ${WORK_DIR} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${GENERATOR_PROGRAM} ${WORK_DIR} failed: ${status}")
endif()

file(STRINGS ${SOURCE_DIR}/firmware/image_list.inc rows REGEX "^[A-Z_]+_IMAGE\\(")
set(expected "")
foreach(row IN LISTS rows)
  string(REGEX MATCH "\\(([A-Za-z0-9_]+)," _ "${row}")
  file(SHA256 ${WORK_DIR}/${CMAKE_MATCH_1}.bin digest)
  string(APPEND expected "${digest}  ${CMAKE_MATCH_1}.bin\n")
endforeach()
file(READ ${SOURCE_DIR}/firmware/images/stand-in.sha256 recorded)
if(NOT recorded STREQUAL expected)
  message(FATAL_ERROR "stand-in.sha256 differs from the generator's images:\n${expected}")
endif()
