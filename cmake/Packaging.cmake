# Installation (GNU layout) and the Debian package.
#
#   cmake --install build --prefix STAGING     what the package holds
#   (cd build && cpack -G DEB)                 build/korvath2-launcher_<version>_<arch>.deb
include(GNUInstallDirs)

# The AppStream id. Releases up to 1.0 used org.korvath2.Launcher; the metainfo says
# it replaces that id, so software centres keep treating it as the same application.
set(KV_APP_ID "org.korvath2.launcher")
set(KV_RELEASE_DATE "2026-12-06")
set(KV_RELEASE_DATE_RFC2822 "Sun, 06 Dec 2026 12:00:00 +0000")
# Where the project is published; the metainfo's screenshots are looked for below it.
set(KV_HOMEPAGE_URL "https://korvath2-launcher.example.org" CACHE STRING
    "The project's home page, named in the AppStream metainfo and the Debian package")
set(KV_SCREENSHOT_URL "${KV_HOMEPAGE_URL}/screenshots")

# Debian keeps the programs of its games section in /usr/games, which is on every
# user's PATH; an install into a home folder may rather want bin.
set(KV_INSTALL_GAMESDIR games CACHE STRING
    "Where the launcher's program is installed, relative to the installation prefix")
install(TARGETS korvath2-launcher RUNTIME DESTINATION ${KV_INSTALL_GAMESDIR} COMPONENT launcher)
# A stripped install (cmake --install --strip, and the package) also drops the sections
# that only record the build, as Debian's dh_strip does.
if(CMAKE_STRIP)
    set(kv_program "${KV_INSTALL_GAMESDIR}/korvath2-launcher")
    if(NOT IS_ABSOLUTE "${kv_program}")
        set(kv_program "\${CMAKE_INSTALL_PREFIX}/${kv_program}")
    endif()
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                --strip-unneeded \"\$ENV{DESTDIR}${kv_program}\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT launcher)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/resources/korvath2-launcher.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT launcher)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/korvath2-launcher.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT launcher)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/resources/${KV_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${KV_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${KV_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT launcher)

# The copyright, the changelog and the manual page, compressed as Debian wants them.
set(kv_doc ${CMAKE_INSTALL_DATADIR}/doc/korvath2-launcher)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/korvath2-launcher.1.in
               ${CMAKE_BINARY_DIR}/packaging/korvath2-launcher.1 @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${CMAKE_BINARY_DIR}/packaging/korvath2-launcher.1.gz
    COMMAND gzip -9nfk changelog korvath2-launcher.1
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/korvath2-launcher.1
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
add_custom_target(package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                                           ${CMAKE_BINARY_DIR}/packaging/korvath2-launcher.1.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${kv_doc} COMPONENT launcher)
install(FILES ${CMAKE_BINARY_DIR}/packaging/korvath2-launcher.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT launcher)

set(CPACK_PACKAGE_NAME korvath2-launcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Korvath II Launcher Team")
set(CPACK_PACKAGE_CONTACT "The Korvath II Launcher Team <korvath2-launcher@users.noreply.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher for the role-playing game Korvath II")
set(CPACK_PACKAGE_DESCRIPTION
    "Lets a player pick a world of the role-playing game Korvath II and play it:
the launcher puts the world's content folders in place, starts the game, waits
until it has ended and puts the folders back. World authors can start the game
or the world editor with a world in place, and package worlds and tomes into
installers with NSIS.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KV_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "nsis, wine")
include(CPack)
