# cmake --install on Linux: the window, the console tool and the simulated
# panel; the menu entry and its icons; the manual pages; the README.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()
include(GNUInstallDirs)

# The project is varnox_patch, the package and its folders varnox-patch.
set(VARNOX_PACKAGE_NAME varnox-patch)
set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VARNOX_PACKAGE_NAME})
set(varnox_packaging ${PROJECT_SOURCE_DIR}/packaging)

foreach(program varnox-patch varnox-patch-cli varnox-panel-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET varnox-patch)
  install(FILES ${varnox_packaging}/linux/varnox-patch.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # PNGs made from ui/varnox_icon.xpm by tools/make_icons.sh.
  install(DIRECTORY ${varnox_packaging}/icons/hicolor
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# Manual pages live beside each program's code; they are installed gzipped
# (as Debian wants), without time stamps so that packages are reproducible.
set(varnox_man_pages
  "varnox-patch ui/varnox-patch.1"
  "varnox-patch-cli cli/varnox-patch-cli.1"
  "varnox-panel-sim sim/varnox-panel-sim.1")
set(varnox_gzipped_docs)
foreach(row IN LISTS varnox_man_pages)
  separate_arguments(row)
  list(GET row 0 program)
  list(GET row 1 page)
  if(NOT TARGET ${program})
    continue()
  endif()
  get_filename_component(name ${page} NAME)
  set(gz ${PROJECT_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${page} > ${gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/${page} VERBATIM)
  list(APPEND varnox_gzipped_docs ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# Debian's changelog of the package; its top entry must name this version.
file(STRINGS ${varnox_packaging}/linux/changelog varnox_changelog_top LIMIT_COUNT 1)
if(NOT varnox_changelog_top MATCHES "^varnox-patch \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/linux/changelog: the top entry is not for version ${PROJECT_VERSION}")
endif()
set(gz ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND gzip -9nc ${varnox_packaging}/linux/changelog > ${gz}
  DEPENDS ${varnox_packaging}/linux/changelog VERBATIM)
list(APPEND varnox_gzipped_docs ${gz})
add_custom_target(varnox_install_docs ALL DEPENDS ${varnox_gzipped_docs})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${varnox_packaging}/linux/copyright ${gz}
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
