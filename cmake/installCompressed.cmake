# SPDX-License-Identifier: MIT
# kestrune_install_compressed(FILE NAME DESTINATION): installs FILE as NAME.gz in
# DESTINATION, compressed the way Debian ships documentation: gzip -9n (no name and
# no time stamp, so the package is reproducible). Without gzip it goes in plain as NAME.
find_program(KESTRUNE_GZIP gzip)

function(kestrune_install_compressed file name destination)
    if(NOT KESTRUNE_GZIP)
        install(FILES ${file} DESTINATION ${destination} RENAME ${name})
        return()
    endif()
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(
        OUTPUT ${compressed}
        COMMAND ${KESTRUNE_GZIP} -9n -c ${file} > ${compressed}
        DEPENDS ${file}
        COMMENT "Compressing ${name}")
    string(MAKE_C_IDENTIFIER "kestrune_${name}_gz" target)
    add_custom_target(${target} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${destination})
endfunction()
