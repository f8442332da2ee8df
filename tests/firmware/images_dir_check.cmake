# Configures the project with VARNOX_IMAGES_DIR pointing at copies of the
# carried images: a wrongly sized image must stop the configuration; an image
# of the right size but other content must pass and not count as a stand-in;
# a same-sized stray file in the build root must not be what gets embedded.
#   cmake -DSOURCE_DIR=. -DWORK_DIR=/tmp/x -DCMAKE_GENERATOR_NAME=Ninja -P images_dir_check.cmake
set(images ${WORK_DIR}/images)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(COPY ${SOURCE_DIR}/firmware/images/ DESTINATION ${images} FILES_MATCHING PATTERN "*.bin")

function(configure result_var output_var)
  file(REMOVE_RECURSE ${build})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${CMAKE_GENERATOR_NAME}
            -DVARNOX_BUILD_UI=OFF -DVARNOX_IMAGES_DIR=${images}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} ${status} PARENT_SCOPE)
  set(${output_var} "${out}${err}" PARENT_SCOPE)
endfunction()

# A microKernel of 5 bytes.
file(RENAME ${images}/MICROK.bin ${WORK_DIR}/MICROK.bin)
file(WRITE ${images}/MICROK.bin "short")
configure(status output)
if(status EQUAL 0)
  message(FATAL_ERROR "configured with a 5-byte microKernel:\n${output}")
endif()
string(REGEX REPLACE "[ \n]+" " " flat "${output}")
if(NOT flat MATCHES "Carried image ${images}/MICROK.bin has 5 bytes, expected 65536")
  message(FATAL_ERROR "no size message for the short microKernel:\n${output}")
endif()
file(RENAME ${WORK_DIR}/MICROK.bin ${images}/MICROK.bin)

# Another image of the same size in place of FWKA1AVRXGAA0I_2x04.
file(COPY_FILE ${images}/FWKA1AVRXSAA0I_2x04.bin ${images}/FWKA1AVRXGAA0I_2x04.bin)
file(SHA256 ${images}/FWKA1AVRXGAA0I_2x04.bin replaced)
configure(status output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configure failed with right-sized images:\n${output}")
endif()
string(REGEX REPLACE "[ \n]+" " " flat "${output}")
if(NOT flat MATCHES "mix real images with generated stand-ins")
  message(FATAL_ERROR "no warning on a mixed set:\n${output}")
endif()
file(READ ${build}/firmware/image_digests.cpp generated)
foreach(row "{\"FWKA1AVRXGAA0I_2x04\", \"${replaced}\", false}"
            "{\"FWKA1AVRXSAA0I_2x04\", \"${replaced}\", true}")
  string(FIND "${generated}" "${row}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "image_digests.cpp lacks ${row}:\n${generated}")
  endif()
endforeach()

# A stray microKernel of the right size in the build root, where the assembler
# looks first for a bare .incbin name: the checked file must be embedded, not it.
string(REPEAT "STRAY-IMAGE-IN-THE-BUILD-ROOT--\n" 2048 stray)
file(WRITE ${build}/MICROK.bin "${stray}")
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target varnox_firmware
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "building the firmware library failed:\n${out}${err}")
endif()
file(GLOB_RECURSE objects ${build}/firmware/*images.S.o*)
if(NOT objects)
  message(FATAL_ERROR "no images.S object under ${build}/firmware")
endif()
file(STRINGS ${objects} strays REGEX "STRAY-IMAGE-IN-THE-BUILD-ROOT" LIMIT_COUNT 1)
if(strays)
  message(FATAL_ERROR "the stray ${build}/MICROK.bin was embedded instead of ${images}/MICROK.bin")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
