# Desktop integration, the built-in window icon and the Debian package.
# Included at the end of the root CMakeLists.txt, once all targets exist.

set(ORVA_DATA_DIR ${CMAKE_CURRENT_LIST_DIR}/../data)
set(ORVA_APPSTREAM_ID io.github.orva.control)

# --- Window icon, built in as :/icons/orva-control.png ---------------------
# orva-ui is a static library: an rcc object inside it would be dropped by the
# linker, since nothing refers to it. So the resource is an object library
# whose objects go straight onto the link line of whatever links orva-ui, and
# no Q_INIT_RESOURCE is needed.
qt_add_resources(orva_icon_sources ${CMAKE_CURRENT_LIST_DIR}/../src/shell/orva.qrc)
add_library(orva-icons OBJECT ${orva_icon_sources})
set_target_properties(orva-icons PROPERTIES AUTOMOC OFF)
target_link_libraries(orva-icons PRIVATE Qt6::Core)
target_link_libraries(orva-ui INTERFACE orva-icons $<TARGET_OBJECTS:orva-icons>)

# --- Installed files -------------------------------------------------------
install(FILES ${ORVA_DATA_DIR}/orva-control.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVA_DATA_DIR}/icons/orva-control.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ORVA_DATA_DIR}/icons/orva-control-32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME orva-control.png)
# AppStream tools look the file up by the component id.
install(FILES ${ORVA_DATA_DIR}/orva-control.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${ORVA_APPSTREAM_ID}.metainfo.xml)
# The simulator ships too, so the panel can be tried without a projector.
install(TARGETS orva-projector-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# --- Debian package: cpack -G DEB ------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orva-control)
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
    "the panel without a projector.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Listed by hand: the xcb platform plugin and the panel's Japanese-capable
# font are loaded at run time, so no library scan would find them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), qt6-qpa-plugins, fonts-ipafont-gothic")
# No dpkg-shlibdeps: it would repeat the Qt entries and make the line depend
# on whether dpkg-dev is on the building machine; libc6 and libstdc++6 are on
# every Debian system anyway.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
