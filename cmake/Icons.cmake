# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the icon from its SVG at every size desktops ask for, at build time,
# so the pictures can never fall behind the drawing. librsvg draws the SVG as
# browsers do. Included where the window icon is built in (src/), so the
# rendered files are made in the same folder as the resource that holds one.
#
# Sets ORVA_ICON_DIR (${ORVA_ICON_DIR}/NxN/orva-control.png) and installs the
# drawings to hicolor.

find_program(ORVA_RSVG_CONVERT rsvg-convert REQUIRED)
set(ORVA_ICON_SIZES 16 22 24 32 48 64 128 256)
set(ORVA_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(orva_icon_svg ${PROJECT_SOURCE_DIR}/data/icons/orva-control.svg)

set(orva_icons)
foreach(size ${ORVA_ICON_SIZES})
  set(png ${ORVA_ICON_DIR}/${size}x${size}/orva-control.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVA_ICON_DIR}/${size}x${size}
    COMMAND ${ORVA_RSVG_CONVERT} --width ${size} --height ${size} --keep-aspect-ratio
            --output ${png} ${orva_icon_svg}
    DEPENDS ${orva_icon_svg}
    VERBATIM)
  list(APPEND orva_icons ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(orva-icons ALL DEPENDS ${orva_icons})
