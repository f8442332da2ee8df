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
# Both are made from one stage: the programs, signed when the environment names
# a certificate (tools/release_sign.sh), and the README, with fixed times and
# modes. Built from the same commit with the same SOURCE_DATE_EPOCH, they come
# out byte for byte the same (tools/repro_check.sh).
set(varnox_dist ${PROJECT_BINARY_DIR}/dist)
set(varnox_windows ${PROJECT_SOURCE_DIR}/packaging/windows)

# The README for Windows users, with Windows line ends for Notepad.
set(varnox_readme ${PROJECT_BINARY_DIR}/packaging/README.txt)
configure_file(${varnox_windows}/README.txt.in ${varnox_readme} @ONLY NEWLINE_STYLE CRLF)

set(varnox_stage ${PROJECT_BINARY_DIR}/packaging/stage)
set(varnox_staged ${varnox_stage}/varnox-patch.exe ${varnox_stage}/varnox-patch-cli.exe ${varnox_stage}/README.txt)
add_custom_command(OUTPUT ${varnox_staged}
  COMMAND bash ${varnox_windows}/stage.sh ${PROJECT_SOURCE_DIR} ${varnox_stage}
    $<TARGET_FILE:varnox-patch> $<TARGET_FILE:varnox-patch-cli> ${varnox_readme}
  DEPENDS varnox-patch varnox-patch-cli ${varnox_readme} ${varnox_windows}/stage.sh
  COMMENT "Windows programs staged (and signed) for the installer and the zip" VERBATIM)

find_program(VARNOX_MAKENSIS makensis)
set(varnox_installer ${varnox_dist}/varnox-patch-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${varnox_installer}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${varnox_dist}
  COMMAND ${VARNOX_MAKENSIS} -V2 -NOCD
    -DVERSION=${PROJECT_VERSION} -DVERSION_DOTS=${VARNOX_VERSION_DOTS}
    -DWINDOW=${varnox_stage}/varnox-patch.exe -DCONSOLE=${varnox_stage}/varnox-patch-cli.exe
    -DREADME=${varnox_stage}/README.txt -DICON=${PROJECT_SOURCE_DIR}/ui/win32/varnox.ico
    -DOUTFILE=${varnox_installer} "-DSIGN=bash ${PROJECT_SOURCE_DIR}/tools/release_sign.sh windows"
    ${varnox_windows}/installer.nsi
  COMMAND bash ${PROJECT_SOURCE_DIR}/tools/release_sign.sh windows ${varnox_installer}
  DEPENDS ${varnox_staged} ${varnox_windows}/installer.nsi ${PROJECT_SOURCE_DIR}/tools/release_sign.sh
  COMMENT "Windows installer ${varnox_installer}" VERBATIM)
add_custom_target(windows_installer DEPENDS ${varnox_installer})

# The zip holds one folder: the two programs and the README.
set(varnox_zip ${varnox_dist}/varnox-patch-${PROJECT_VERSION}-windows-x64.zip)
add_custom_command(OUTPUT ${varnox_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${varnox_dist}
  COMMAND bash ${varnox_windows}/zip_folder.sh ${varnox_stage} varnox-patch-${PROJECT_VERSION} ${varnox_zip}
  DEPENDS ${varnox_staged} ${varnox_windows}/zip_folder.sh
  COMMENT "Portable zip ${varnox_zip}" VERBATIM)
add_custom_target(windows_zip DEPENDS ${varnox_zip})
