# What is handed out: on Linux the Debian package (cpack, from the install
# rules of cmake/install.cmake); in the Windows build the installer and the
# portable zip (targets windows_installer and windows_zip, into dist/).
set(VARNOX_PACKAGE_MAINTAINER "varnox-patch maintainers <maintainers@users.noreply.c-seed-873edae0.example>"
  CACHE STRING "Maintainer named in the packages")

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ${VARNOX_PACKAGE_NAME})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR Varnox)
  set(CPACK_PACKAGE_CONTACT ${VARNOX_PACKAGE_MAINTAINER})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update tool for Varnox fire-alarm control panels")
  set(CPACK_PACKAGE_DESCRIPTION
    "varnox-patch re-flashes a Varnox fire-alarm control panel over an RS-232 line.
It reads the panel's identity, refuses a panel whose release is newer than the
one the tool carries, and writes the matching firmware image, carried inside
the program, to the panel's EEPROM and program flash.

The package holds the window (varnox-patch), the console tool for benches and
scripts (varnox-patch-cli) and a simulated panel on a pseudo-terminal
(varnox-panel-sim) to try both without a panel.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  # Folders 0755 whatever the umask of the machine that builds the package.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARNOX_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Qt's platform plugins are only recommended by libqt6gui6, yet without them
  # the window cannot open.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  include(CPack)
  return()
endif()

# --- Windows: the installer and the portable zip --------------------------
set(varnox_dist ${PROJECT_BINARY_DIR}/dist)
set(varnox_windows ${PROJECT_SOURCE_DIR}/packaging/windows)
set(varnox_programs $<TARGET_FILE:varnox-patch> $<TARGET_FILE:varnox-patch-cli>)

# The README for Windows users, with Windows line ends for Notepad.
set(varnox_readme ${PROJECT_BINARY_DIR}/packaging/README.txt)
configure_file(${varnox_windows}/README.txt.in ${varnox_readme} @ONLY NEWLINE_STYLE CRLF)

find_program(VARNOX_MAKENSIS makensis)
set(varnox_installer ${varnox_dist}/varnox-patch-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${varnox_installer}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${varnox_dist}
  COMMAND ${VARNOX_MAKENSIS} -V2 -NOCD
    -DVERSION=${PROJECT_VERSION} -DVERSION_DOTS=${VARNOX_VERSION_DOTS}
    -DWINDOW=$<TARGET_FILE:varnox-patch> -DCONSOLE=$<TARGET_FILE:varnox-patch-cli>
    -DREADME=${varnox_readme} -DICON=${PROJECT_SOURCE_DIR}/ui/win32/varnox.ico
    -DOUTFILE=${varnox_installer}
    ${varnox_windows}/installer.nsi
  DEPENDS varnox-patch varnox-patch-cli ${varnox_windows}/installer.nsi ${varnox_readme}
  COMMENT "Windows installer ${varnox_installer}" VERBATIM)
add_custom_target(windows_installer DEPENDS ${varnox_installer})

# The zip holds one folder: the two programs and the README.
set(varnox_zip_folder varnox-patch-${PROJECT_VERSION})
set(varnox_zip ${varnox_dist}/varnox-patch-${PROJECT_VERSION}-windows-x64.zip)
set(varnox_stage ${PROJECT_BINARY_DIR}/packaging/zip)
add_custom_command(OUTPUT ${varnox_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${varnox_stage} ${varnox_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${varnox_stage}/${varnox_zip_folder} ${varnox_dist}
  COMMAND ${CMAKE_COMMAND} -E copy ${varnox_programs} ${varnox_readme} ${varnox_stage}/${varnox_zip_folder}
  COMMAND ${CMAKE_COMMAND} -E chdir ${varnox_stage} zip -q -X -9 -r ${varnox_zip} ${varnox_zip_folder}
  DEPENDS varnox-patch varnox-patch-cli ${varnox_readme}
  COMMENT "Portable zip ${varnox_zip}" VERBATIM)
add_custom_target(windows_zip DEPENDS ${varnox_zip})
