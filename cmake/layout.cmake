# Layout modules (.VKL): resource-only 32-bit DLLs holding a dialog template.
# They are built with the i686 tools in both builds, because a layout file is
# the same file for every copy of the program, and read as data.
find_program(VK_LAYOUT_WINDRES i686-w64-mingw32-windres REQUIRED)
find_program(VK_LAYOUT_LD i686-w64-mingw32-ld REQUIRED)

# vk_layout_module(OUTPUT_FILE RC_FILE): builds OUTPUT_FILE from RC_FILE.
function(vk_layout_module output rc)
    get_filename_component(name "${output}" NAME_WE)
    get_filename_component(dir "${output}" DIRECTORY)
    set(object "${CMAKE_CURRENT_BINARY_DIR}/${name}.res.o")
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
        COMMAND ${VK_LAYOUT_WINDRES} -c 65001 -I "${CMAKE_SOURCE_DIR}" -i "${rc}" -o "${object}"
        COMMAND ${VK_LAYOUT_LD} --dll -e 0 -s --subsystem windows --no-insert-timestamp
                -o "${output}" "${object}"
        DEPENDS "${rc}" "${CMAKE_SOURCE_DIR}/resources/resource.h"
        COMMENT "Building layout module ${name}"
        VERBATIM)
endfunction()
