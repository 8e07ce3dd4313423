# The icons as PNGs at the sizes the window asks for (IconPicturesPng.cpp), drawn
# from resources/icons/*.svg with rsvg-convert, in a resource file of the same
# name as the SVG one, so Q_INIT_RESOURCE(stowaway) finds either.
find_program(STOWAWAY_RSVG_CONVERT rsvg-convert REQUIRED)
set(STOWAWAY_PNG_ICON_SIZES 16 20 24 32 48 64 80)
set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/png-icons)
file(MAKE_DIRECTORY ${icon_dir})
file(GLOB svg_icons CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/icons/*.svg)
set(qrc_lines "<RCC>\n  <qresource prefix=\"/icons\">\n")
set(pngs "")
foreach(svg ${svg_icons})
  get_filename_component(name ${svg} NAME_WE)
  foreach(size ${STOWAWAY_PNG_ICON_SIZES})
    set(png ${icon_dir}/${name}-${size}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${STOWAWAY_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
                       DEPENDS ${svg} VERBATIM)
    list(APPEND pngs ${png})
    string(APPEND qrc_lines "    <file>${name}-${size}.png</file>\n")
  endforeach()
endforeach()
string(APPEND qrc_lines "  </qresource>\n</RCC>\n")
file(CONFIGURE OUTPUT ${icon_dir}/stowaway.qrc CONTENT "${qrc_lines}")
add_custom_target(stowaway_png_icons DEPENDS ${pngs})
qt6_add_resources(STOWAWAY_PNG_ICON_SOURCES ${icon_dir}/stowaway.qrc)
