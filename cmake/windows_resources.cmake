# Windows programs: a version resource (product, version, description) and an
# application manifest (common controls 6, DPI awareness, no elevation) in
# each, from one template per kind in packaging/windows/.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()
enable_language(RC)

# 2.04 is 2,4,0,0 in the binary version fields and 2.4.0.0 in the manifest.
string(REGEX REPLACE "^0+([0-9])" "\\1" varnox_minor "${PROJECT_VERSION_MINOR}")
set(VARNOX_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${varnox_minor},0,0")
set(VARNOX_VERSION_DOTS "${PROJECT_VERSION_MAJOR}.${varnox_minor}.0.0")

# Program|description
set(varnox_windows_programs
  "varnox-patch|Varnox Patch: firmware update of Varnox fire-alarm control panels"
  "varnox-patch-cli|Varnox Patch console tool: firmware update of Varnox fire-alarm control panels")
foreach(row IN LISTS varnox_windows_programs)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 VARNOX_PROGRAM)
  list(GET row 1 VARNOX_DESCRIPTION)
  if(NOT TARGET ${VARNOX_PROGRAM})
    continue()
  endif()
  set(dir ${PROJECT_BINARY_DIR}/resources)
  set(VARNOX_MANIFEST ${dir}/${VARNOX_PROGRAM}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.manifest.in ${VARNOX_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${dir}/${VARNOX_PROGRAM}.rc @ONLY)
  target_sources(${VARNOX_PROGRAM} PRIVATE ${dir}/${VARNOX_PROGRAM}.rc)
  # windres reads the manifest: a changed manifest rebuilds the resource.
  set_source_files_properties(${dir}/${VARNOX_PROGRAM}.rc TARGET_DIRECTORY ${VARNOX_PROGRAM}
    PROPERTIES OBJECT_DEPENDS ${VARNOX_MANIFEST})
endforeach()
