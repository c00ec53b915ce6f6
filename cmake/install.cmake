# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# What a desktop needs to find, start and describe Tunebrowse: the executable, the desktop entry,
# the application icon, the AppStream metainfo, the manual page, and the Debian package made of
# them. Included once the executable and the shell library exist.

include(GNUInstallDirs)

# The one application id: the desktop entry's file name and icon name, the metainfo's id, and the
# name the program gives the desktop so that its windows are matched with the entry.
set(TUNEBR_APP_ID "org.example.Tunebrowse")
set(TUNEBR_HOMEPAGE "https://tunebrowse.example.org/")
set(TUNEBR_VENDOR "Quillon Softs")
set(TUNEBR_CONTACT "Quillon Softs <tunebrowse@example.org>")
set(TUNEBR_ICON_SIZES 16 22 24 32 48 64 128 256)

target_compile_definitions(tunebr_shell PRIVATE TUNEBR_APP_ID="${TUNEBR_APP_ID}")

set(TUNEBR_DESKTOP_SRC "${PROJECT_SOURCE_DIR}/res/desktop")
set(TUNEBR_DESKTOP_OUT "${PROJECT_BINARY_DIR}/desktop")
configure_file("${TUNEBR_DESKTOP_SRC}/tunebrowse.desktop.in"
               "${TUNEBR_DESKTOP_OUT}/${TUNEBR_APP_ID}.desktop" @ONLY)
configure_file("${TUNEBR_DESKTOP_SRC}/tunebrowse.metainfo.xml.in"
               "${TUNEBR_DESKTOP_OUT}/${TUNEBR_APP_ID}.metainfo.xml" @ONLY)
configure_file("${TUNEBR_DESKTOP_SRC}/tunebrowse.1.in" "${TUNEBR_DESKTOP_OUT}/tunebrowse.1" @ONLY)

# Bitmaps for the desktops and docks that do not draw SVG icons, rendered from the one drawing.
find_program(TUNEBR_RSVG_CONVERT rsvg-convert)
find_program(TUNEBR_IM_CONVERT convert)
find_program(TUNEBR_GZIP gzip REQUIRED)
set(TUNEBR_ICON_SVG "${PROJECT_SOURCE_DIR}/res/icons/tunebrowse.svg")
set(TUNEBR_ICON_OUTPUTS)
foreach(size IN LISTS TUNEBR_ICON_SIZES)
    set(png "${TUNEBR_DESKTOP_OUT}/hicolor/${size}x${size}/apps/${TUNEBR_APP_ID}.png")
    if(TUNEBR_RSVG_CONVERT)
        set(render "${TUNEBR_RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${TUNEBR_ICON_SVG}")
    elseif(TUNEBR_IM_CONVERT)
        # Drawn large then reduced: the drawing is 24 units wide and would be rasterised at that.
        set(render "${TUNEBR_IM_CONVERT}" -background none -density 1200 "${TUNEBR_ICON_SVG}"
                   -resize ${size}x${size} "PNG32:${png}")
    else()
        message(FATAL_ERROR "rsvg-convert (librsvg2-bin) or ImageMagick's convert is needed to "
                            "render the application icon")
    endif()
    add_custom_command(OUTPUT "${png}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${TUNEBR_DESKTOP_OUT}/hicolor/${size}x${size}/apps"
        COMMAND ${render}
        DEPENDS "${TUNEBR_ICON_SVG}"
        VERBATIM)
    list(APPEND TUNEBR_ICON_OUTPUTS "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()

# Debian keeps manual pages and changelogs compressed; -n leaves the time out, so the same sources
# give the same package.
set(TUNEBR_MAN_GZ "${TUNEBR_DESKTOP_OUT}/tunebrowse.1.gz")
set(TUNEBR_CHANGELOG_GZ "${TUNEBR_DESKTOP_OUT}/changelog.gz")
add_custom_command(OUTPUT "${TUNEBR_MAN_GZ}"
    COMMAND "${TUNEBR_GZIP}" -9n -c "${TUNEBR_DESKTOP_OUT}/tunebrowse.1" > "${TUNEBR_MAN_GZ}"
    DEPENDS "${TUNEBR_DESKTOP_OUT}/tunebrowse.1")
add_custom_command(OUTPUT "${TUNEBR_CHANGELOG_GZ}"
    COMMAND "${TUNEBR_GZIP}" -9n -c "${TUNEBR_DESKTOP_SRC}/changelog" > "${TUNEBR_CHANGELOG_GZ}"
    DEPENDS "${TUNEBR_DESKTOP_SRC}/changelog")
add_custom_target(tunebr_desktop_files ALL
    DEPENDS ${TUNEBR_ICON_OUTPUTS} "${TUNEBR_MAN_GZ}" "${TUNEBR_CHANGELOG_GZ}")

install(TARGETS tunebrowse RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${TUNEBR_DESKTOP_OUT}/${TUNEBR_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${TUNEBR_DESKTOP_OUT}/${TUNEBR_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${TUNEBR_ICON_SVG}" RENAME "${TUNEBR_APP_ID}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${TUNEBR_MAN_GZ}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${TUNEBR_DESKTOP_SRC}/copyright" "${TUNEBR_CHANGELOG_GZ}"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tunebrowse")

# The Debian package: `cpack` in the build folder, or `make package`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunebrowse)
set(CPACK_PACKAGE_VENDOR "${TUNEBR_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${TUNEBR_CONTACT}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browser and ID3v1 tag editor for MP3 files")
# Lines of at most 80 characters, as Debian's package tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Tunebrowse reads the ID3v1 tags of the MP3 files in a folder and its
sub-folders and shows them in a tree of artists, or of genres then artists,
beside a sortable list of titles, albums, sizes, years and comments. It plays
or enqueues the selected files in the desktop's player and edits their tags,
one file or many at once.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TUNEBR_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins are loaded, not linked, so dpkg-shlibdeps cannot see them: without the SVG icon engine
# every icon of the window would be blank.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)

if(TUNEBR_BUILD_TESTS)
    set(check "${PROJECT_SOURCE_DIR}/tests/install")
    string(REPLACE ";" " " sizes "${TUNEBR_ICON_SIZES}")
    add_test(NAME InstallTree
        COMMAND "${check}/check_install.sh" "${PROJECT_BINARY_DIR}" "${TUNEBR_APP_ID}"
                "${PROJECT_VERSION}" "${sizes}")
    add_test(NAME DesktopEntryValidates
        COMMAND "${check}/validate.sh" desktop "${TUNEBR_DESKTOP_OUT}/${TUNEBR_APP_ID}.desktop")
    add_test(NAME MetainfoValidates
        COMMAND "${check}/validate.sh" metainfo
                "${TUNEBR_DESKTOP_OUT}/${TUNEBR_APP_ID}.metainfo.xml")
    set_tests_properties(DesktopEntryValidates MetainfoValidates PROPERTIES SKIP_RETURN_CODE 77)
    # The sanitised build checks the code, not the packaging: one package build per run is enough.
    if(NOT TUNEBR_SANITIZE)
        add_test(NAME DebianPackage
            COMMAND "${check}/check_package.sh" "${PROJECT_BINARY_DIR}" "${PROJECT_VERSION}")
        set_tests_properties(DebianPackage PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
    endif()
endif()
