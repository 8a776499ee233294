# Run by cpack once it has made the .deb (CPACK_POST_BUILD_SCRIPTS in Packaging.cmake).
#
# CPack's DEB generator gives every package with a shared object in usr/lib, or in a
# folder right below it, a postinst and a postrm that only run ldconfig, and it has no
# setting to leave them out. Pelamo's libraries in usr/lib/pelamo are private: the
# program and the module find them through their RPATH, the linker's cache never lists
# them, and dpkg runs ldconfig through its own trigger where a package needs it. So
# those two scripts are taken out again; a script that does anything else is kept.
find_program(PELAMO_DPKG_DEB dpkg-deb)
if(NOT PELAMO_DPKG_DEB)
    message(WARNING "dpkg-deb is missing: the package keeps CPack's ldconfig scripts")
    return()
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    set(tree "${package}.unpacked")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND "${PELAMO_DPKG_DEB}" --raw-extract "${package}" "${tree}"
        COMMAND_ERROR_IS_FATAL ANY)

    set(changed FALSE)
    foreach(script IN ITEMS postinst postrm)
        set(path "${tree}/DEBIAN/${script}")
        if(NOT EXISTS "${path}")
            continue()
        endif()
        file(STRINGS "${path}" lines)
        # What is left once the shell's boilerplate is set aside.
        list(FILTER lines EXCLUDE REGEX "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then|fi|[ \t]*)$")
        if(lines MATCHES "^[ \t]*ldconfig$")
            file(REMOVE "${path}")
            set(changed TRUE)
        endif()
    endforeach()

    if(changed)
        execute_process(COMMAND "${PELAMO_DPKG_DEB}" --root-owner-group --build "${tree}" "${package}"
            OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE_RECURSE "${tree}")
endforeach()
