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
# and image plugins at run time, which no linker sees: those are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
