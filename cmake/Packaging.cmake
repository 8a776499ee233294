# Where Pelamo goes on a Linux desktop, and the .deb that carries it there.
# `cmake --install build --prefix ~/.local` for one user; `cpack` in the build folder for a package.
include(GNUInstallDirs)

# The desktop id: reverse domain name of the maker's site, as AppStream asks. The desktop
# entry, the metainfo file and QGuiApplication::desktopFileName() must all use it.
set(PELAMO_DESKTOP_ID example.vantorel.pelamo)
set(PELAMO_ICON_SIZES 16 24 32 48 64 128 256 512)

install(TARGETS pelamo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Private to Pelamo, in ../lib/pelamo from the program's folder: the core library both
# the program and the desktop module link (found through their RPATH), and the module.
install(TARGETS pelamo_core LIBRARY DESTINATION lib/pelamo)
install(TARGETS pelamo_desktop LIBRARY DESTINATION lib/pelamo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PELAMO_DESKTOP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PELAMO_DESKTOP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS PELAMO_ICON_SIZES)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/app-icon/pelamo-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME pelamo.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/app-icon/pelamo.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page, pelamo(1), is written for scdoc (docs/pelamo.1.scd) and installed
# compressed, as Debian's policy asks. Its date is the newest release's in the metainfo.
find_program(PELAMO_SCDOC scdoc)
if(NOT PELAMO_SCDOC)
    message(FATAL_ERROR "scdoc is needed to make the manual page (scripts/install-deps.sh installs it)")
endif()
find_program(PELAMO_GZIP gzip REQUIRED)
set(metainfo_file ${PROJECT_SOURCE_DIR}/packaging/${PELAMO_DESKTOP_ID}.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${metainfo_file})
file(READ ${metainfo_file} metainfo)
string(REGEX MATCH "<release version=\"[^\"]*\" date=\"([0-9-]+)\"" release "${metainfo}")
if(NOT release)
    message(FATAL_ERROR "The metainfo file names no release with a date")
endif()
execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s
    OUTPUT_VARIABLE PELAMO_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/docs/pelamo.1.scd ${PROJECT_BINARY_DIR}/pelamo.1.scd @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/pelamo.1.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PELAMO_RELEASE_EPOCH}
        sh -c "\"$0\" < \"$1\" > \"$2\"" ${PELAMO_SCDOC} pelamo.1.scd pelamo.1
    COMMAND ${PELAMO_GZIP} -9nkf pelamo.1
    DEPENDS ${PROJECT_BINARY_DIR}/pelamo.1.scd
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    COMMENT "Making the manual page pelamo(1)"
    VERBATIM)
# The changelog, in Debian's format: the package's version is its newest entry.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/changelog COPYONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${PELAMO_GZIP} -9nkf changelog
    DEPENDS ${PROJECT_BINARY_DIR}/changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    COMMENT "Compressing the changelog"
    VERBATIM)
add_custom_target(pelamo_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/pelamo.1.gz ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/pelamo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The documentation folder is named for the package, in lower case, as Debian has it.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pelamo)

# Shell completion, where each shell looks for the completions that packages bring.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/pelamo.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME pelamo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/_pelamo
    DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/pelamo.fish
    DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelamo)
set(CPACK_PACKAGE_VENDOR Vantorel)
set(CPACK_PACKAGE_CONTACT "Vantorel <pelamo@vantorel.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://vantorel.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MP3 tagger that writes saved show profiles")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Pelamo keeps a library of shows, saved tag profiles for a podcast or a\n"
    "music release, and writes a show's values into MP3 files as a fresh ID3v2.3\n"
    "tag, optionally followed by an ID3v1 tag. Old tags are replaced; the audio is\n"
    "proven unchanged before a file is replaced. A command-line tool in the same\n"
    "program tags files for scripts.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Library dependencies come from dpkg-shlibdeps (package dpkg-dev). Qt loads its platform
# and image plugins at run time, which no linker sees: those are named here. GNOME and KDE
# start Wayland sessions; without Qt's Wayland plugin the window falls back to XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-wayland")
# Takes out the ldconfig calls CPack adds for the private libraries (see the script).
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianPostBuild.cmake)
include(CPack)
