# What an installation holds besides the program (manual page, desktop entry,
# icon, service units, Debian documentation) and the Debian package built from
# it with CPack (scripts/package).
include(GNUInstallDirs)

set(ZELVO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(ZELVO_PACKAGE_MAINTAINER "Zelvo maintainers <maintainers@users.noreply.c-seed-4fabd38b.example>"
    CACHE STRING "Maintainer field of the Debian package")
# systemd's own directory for units from packages; beside the prefix otherwise.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(ZELVO_UNIT_DIR_DEFAULT /lib/systemd/system)
else()
  set(ZELVO_UNIT_DIR_DEFAULT ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()
set(ZELVO_SYSTEMD_UNIT_DIR ${ZELVO_UNIT_DIR_DEFAULT} CACHE PATH "Where the service units go")

# The changelog's latest entry names the version that is packaged.
file(STRINGS ${ZELVO_PACKAGING_DIR}/changelog zelvo_changelog_head LIMIT_COUNT 1)
if(NOT zelvo_changelog_head MATCHES "^zelvo \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog does not start with version ${PROJECT_VERSION}")
endif()

# The manual page, the changelog and the README, compressed the way Debian
# wants them.
set(zelvo_pkg_dir ${PROJECT_BINARY_DIR}/packaging)
set(ZELVO_VERSION ${PROJECT_VERSION})
include(ZelvoSettingsReference)
zelvo_settings_reference(${PROJECT_SOURCE_DIR}/README.md ZELVO_SETTINGS_REFERENCE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
configure_file(${ZELVO_PACKAGING_DIR}/zelvo.1 ${zelvo_pkg_dir}/zelvo.1 @ONLY)
configure_file(${ZELVO_PACKAGING_DIR}/changelog ${zelvo_pkg_dir}/changelog COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/README.md ${zelvo_pkg_dir}/README.md COPYONLY)
set(zelvo_compressed)
foreach(file zelvo.1 changelog README.md)
  add_custom_command(
    OUTPUT ${zelvo_pkg_dir}/${file}.gz
    COMMAND gzip -9nkf ${file}
    DEPENDS ${zelvo_pkg_dir}/${file}
    WORKING_DIRECTORY ${zelvo_pkg_dir}
    VERBATIM)
  list(APPEND zelvo_compressed ${zelvo_pkg_dir}/${file}.gz)
endforeach()
add_custom_target(zelvo_packaging_files ALL DEPENDS ${zelvo_compressed})

install(FILES ${zelvo_pkg_dir}/zelvo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZELVO_PACKAGING_DIR}/zelvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZELVO_PACKAGING_DIR}/zelvo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The units start the program where this installation puts it.
foreach(unit zelvo.service zelvo@.service)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZELVO_PACKAGING_DIR}/${unit})
  file(READ ${ZELVO_PACKAGING_DIR}/${unit} zelvo_unit_text)
  string(REPLACE "ExecStart=/usr/bin/zelvo " "ExecStart=${CMAKE_INSTALL_FULL_BINDIR}/zelvo "
                 zelvo_unit_text "${zelvo_unit_text}")
  file(GENERATE OUTPUT ${zelvo_pkg_dir}/${unit} CONTENT "${zelvo_unit_text}")
  install(FILES ${zelvo_pkg_dir}/${unit} DESTINATION ${ZELVO_SYSTEMD_UNIT_DIR})
endforeach()
install(FILES ${ZELVO_PACKAGING_DIR}/copyright ${zelvo_pkg_dir}/changelog.gz
              ${zelvo_pkg_dir}/README.md.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zelvo)
# The example configuration, as the program writes it on a first start.
install(FILES ${PROJECT_SOURCE_DIR}/src/config/resources/config.example.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zelvo/examples RENAME config.xml)

# The Debian package. Dependencies on shared libraries come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZELVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "IRC bot that switches eight outputs from chat lines")
set(CPACK_PACKAGE_DESCRIPTION
    "Zelvo sits in one IRC channel as a bot and switches eight digital outputs,
the data lines of a parallel port (or a simulated port), when
lines in the channel match the rules of its XML configuration. An operator
window shows the traffic and one lamp per output.
.
The package runs the bot as a hardened systemd service (zelvo, or zelvo@NAME
for one bot per directory) under the system user zelvo.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libmosquitto, libcrypto and libxcb are opened when MQTT, a SASL mechanism or
# a display needs them, so dpkg-shlibdeps does not see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libmosquitto1, libssl3, libxcb1, libxcb-ewmh2")
# The window needs a Qt platform plugin; the service runs without one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${ZELVO_PACKAGING_DIR}/postinst ${ZELVO_PACKAGING_DIR}/prerm ${ZELVO_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
