# SPDX-License-Identifier: GPL-3.0-or-later
# Desktop integration, manual pages, documentation and the Debian package.
# Included at the end of the root CMakeLists.txt, once all targets exist.

set(ORVA_DATA_DIR ${CMAKE_CURRENT_LIST_DIR}/../data)
set(ORVA_APPSTREAM_ID io.github.orva.control)
set(ORVA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})

# --- Compressed manual pages and changelog ----------------------------------
# -n leaves the name and time out of the header, so the files are reproducible.
set(orva_gzipped)
foreach(source man/orva-control.1 man/orva-projector-sim.1 man/orva-pjlink.1 changelog)
  set(output ${CMAKE_BINARY_DIR}/gz/${source}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/gz/man
    COMMAND gzip -9n -c ${ORVA_DATA_DIR}/${source} > ${output}
    DEPENDS ${ORVA_DATA_DIR}/${source}
    VERBATIM)
  list(APPEND orva_gzipped ${output})
endforeach()
add_custom_target(orva-gzipped ALL DEPENDS ${orva_gzipped})

# --- Installed files -------------------------------------------------------
install(FILES ${CMAKE_BINARY_DIR}/gz/man/orva-control.1.gz
              ${CMAKE_BINARY_DIR}/gz/man/orva-projector-sim.1.gz
              ${CMAKE_BINARY_DIR}/gz/man/orva-pjlink.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/gz/changelog.gz ${ORVA_DATA_DIR}/copyright
        DESTINATION ${ORVA_DOC_DIR})
install(FILES ${ORVA_DATA_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${PROJECT_NAME})
install(FILES ${ORVA_DATA_DIR}/orva-control.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVA_DATA_DIR}/icons/orva-control.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The PNG sizes are drawn and installed by Icons.cmake.
# bash-completion loads a command's file by the command's name; one file
# serves both programs.
install(FILES ${ORVA_DATA_DIR}/completion/orva-control
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/completion)
file(CREATE_LINK orva-control ${CMAKE_BINARY_DIR}/completion/orva-projector-sim SYMBOLIC)
file(CREATE_LINK orva-control ${CMAKE_BINARY_DIR}/completion/orva-pjlink SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/completion/orva-projector-sim
              ${CMAKE_BINARY_DIR}/completion/orva-pjlink
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The PJLink bridge's service, one instance per port, starting the orva-pjlink
# of the prefix it is installed to (/usr in the package), written at install
# time, when that prefix is known.
set(ORVA_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
  "Where the systemd unit goes, under the prefix when relative")
set(orva_unit_dir "${ORVA_SYSTEMD_UNIT_DIR}")
if(NOT IS_ABSOLUTE "${orva_unit_dir}")
  set(orva_unit_dir "\${CMAKE_INSTALL_PREFIX}/${orva_unit_dir}")
endif()
install(CODE "
  file(READ \"${ORVA_DATA_DIR}/systemd/orva-pjlink@.service\" unit)
  string(REPLACE \"/usr/bin/\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\" unit \"\${unit}\")
  set(dir \"\$ENV{DESTDIR}${orva_unit_dir}\")
  message(STATUS \"Installing: \${dir}/orva-pjlink@.service\")
  file(WRITE \"\${dir}/orva-pjlink@.service\" \"\${unit}\")")
# AppStream tools look the file up by the component id.
install(FILES ${ORVA_DATA_DIR}/orva-control.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${ORVA_APPSTREAM_ID}.metainfo.xml)
# The simulator ships too, so the panel can be tried without a projector.
install(TARGETS orva-projector-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripping install (cpack) also drops the compiler's note, as dh_strip does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program orva-control orva-projector-sim orva-pjlink)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# --- Debian package: cpack -G DEB ------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORVA Control developers")
set(CPACK_PACKAGE_CONTACT "ORVA Control developers <orva-control@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for the ORVA MV-TR58 data projector")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop control panel for the ORVA MV-TR58 data projector, driven over an\n"
    "RS-232 serial line: power, inputs, mute, freeze, lamp mode, keystone,\n"
    "volume, zoom and the projector's status.\n"
    "\n"
    "Includes orva-projector-sim, a projector on a pseudo-terminal for trying\n"
    "the panel without a projector, and orva-pjlink, a PJLink bridge that makes\n"
    "the projector on its serial line a PJLink projector for control systems,\n"
    "with a systemd service per port.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the linked libraries (libc6, libstdc++6, Qt); these are
# loaded at run time, so no library scan would find them: the xcb platform
# plugin and the panel's Japanese-capable font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
