# The program on Windows: a window program (no console opens beside it) with the
# program's icon, an .ico made at build time from resources/icons/stowaway.svg.
enable_language(RC)
find_program(STOWAWAY_RSVG_CONVERT rsvg-convert REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ico_dir ${CMAKE_CURRENT_BINARY_DIR}/program-icon)
file(MAKE_DIRECTORY ${ico_dir})
set(svg ${CMAKE_SOURCE_DIR}/resources/icons/stowaway.svg)
set(pngs "")
foreach(size 16 24 32 48 64 256)
  add_custom_command(OUTPUT ${ico_dir}/stowaway-${size}.png
                     COMMAND ${STOWAWAY_RSVG_CONVERT} -w ${size} -h ${size}
                             -o ${ico_dir}/stowaway-${size}.png ${svg}
                     DEPENDS ${svg} VERBATIM)
  list(APPEND pngs ${ico_dir}/stowaway-${size}.png)
endforeach()
add_custom_command(OUTPUT ${ico_dir}/stowaway.ico
                   COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make_ico.py
                           ${ico_dir}/stowaway.ico ${pngs}
                   DEPENDS ${pngs} ${CMAKE_SOURCE_DIR}/scripts/make_ico.py VERBATIM)
file(CONFIGURE OUTPUT ${ico_dir}/stowaway.rc
     CONTENT "IDI_ICON1 ICON \"${ico_dir}/stowaway.ico\"\n")
set_source_files_properties(${ico_dir}/stowaway.rc PROPERTIES OBJECT_DEPENDS ${ico_dir}/stowaway.ico)
target_sources(stowaway PRIVATE ${ico_dir}/stowaway.rc)
set_target_properties(stowaway PROPERTIES WIN32_EXECUTABLE ON)
