# Installation and the Debian package. `cmake --install <build>` puts the program, the simulated
# gateway and their files under CMAKE_INSTALL_PREFIX; `cpack` in the build folder makes the .deb
# (prefix /usr, dependencies found by dpkg-shlibdeps).
#
# The folders are fixed relative to each other: the program looks for Data_Media in
# <bin>/../share/veltra-desktop, the simulator for its scenarios in
# <bin>/../share/veltra-desktop/scenarios.
set(VELTRA_APP_ID org.veltra.VeltraDesktop)
set(VELTRA_SHARE share/veltra-desktop)
set(VELTRA_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(VELTRA_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

if(TARGET veltra-desktop)
  install(TARGETS veltra-desktop RUNTIME DESTINATION bin)
endif()
if(TARGET veltra-log)
  install(TARGETS veltra-log RUNTIME DESTINATION bin)
endif()
if(TARGET gateway-sim)
  install(TARGETS gateway-sim RUNTIME DESTINATION bin)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/tools/gateway-sim/scenarios/
          DESTINATION ${VELTRA_SHARE}/scenarios FILES_MATCHING PATTERN "*.scn")
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Data_Media/ DESTINATION ${VELTRA_SHARE}/Data_Media)

# Desktop entry, AppStream metainfo, icons in the hicolor theme.
configure_file(${VELTRA_PACKAGING}/${VELTRA_APP_ID}.metainfo.xml.in
               ${VELTRA_PACKAGING_OUT}/${VELTRA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${VELTRA_PACKAGING}/${VELTRA_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${VELTRA_PACKAGING_OUT}/${VELTRA_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${VELTRA_PACKAGING}/icons/${VELTRA_APP_ID}.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${VELTRA_PACKAGING}/icons/${VELTRA_APP_ID}-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${VELTRA_APP_ID}.png)
endforeach()

# The user unit for unattended logging (systemctl --user enable --now veltra-desktop).
install(FILES ${VELTRA_PACKAGING}/veltra-desktop.service DESTINATION lib/systemd/user)

# The manual pages, compressed as Debian keeps them.
set(veltra_manpages)
foreach(page veltra-desktop veltra-log)
  configure_file(${VELTRA_PACKAGING}/${page}.1.in ${VELTRA_PACKAGING_OUT}/${page}.1 @ONLY)
  add_custom_command(
    OUTPUT ${VELTRA_PACKAGING_OUT}/${page}.1.gz
    COMMAND gzip -9nkf ${page}.1
    DEPENDS ${VELTRA_PACKAGING_OUT}/${page}.1
    WORKING_DIRECTORY ${VELTRA_PACKAGING_OUT}
    VERBATIM)
  list(APPEND veltra_manpages ${VELTRA_PACKAGING_OUT}/${page}.1.gz)
endforeach()
add_custom_target(veltra_manpage ALL DEPENDS ${veltra_manpages})
install(FILES ${veltra_manpages} DESTINATION share/man/man1)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltra-desktop)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "VeltraDesktop developers <veltra-desktop@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for battery and solar energy systems")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows the 800 x 480 touch display of a battery and solar energy system in a window:\n"
    "connects to the system's Modbus TCP gateway, finds the devices on the bus, polls them,\n"
    "shows one page per device type, logs one CSV line per minute and draws history graphs.\n"
    "Includes veltra-log, which lists the data logs and exports any span as CSV or PNG,\n"
    "and gateway-sim, a simulated gateway for trying it without hardware.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
