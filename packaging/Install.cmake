# Installs Horaline like any desktop program, and packs it as a .deb for Debian 12.
include(GNUInstallDirs)

set(HORALINE_ICONS ${CMAKE_BINARY_DIR}/icons)
set(HORALINE_ICON_SIZES 16 24 32 48 64 128 256)
set(HORALINE_ICON_FILES)
foreach(size ${HORALINE_ICON_SIZES})
    list(APPEND HORALINE_ICON_FILES ${HORALINE_ICONS}/horaline-${size}.png)
endforeach()
add_custom_command(OUTPUT ${HORALINE_ICON_FILES}
    COMMAND render_icons ${HORALINE_ICONS}
    DEPENDS render_icons
    COMMENT "Drawing the desktop icons")
add_custom_target(desktop_icons ALL DEPENDS ${HORALINE_ICON_FILES})

install(TARGETS Horaline horaline-timecode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Run by `Horaline --headless`, never by a person: beside the programs, not on the PATH.
install(TARGETS horaline-relay RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/horaline)
install(PROGRAMS packaging/horaline-autostart DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/org.horaline.Horaline.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/org.horaline.Horaline.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Not the multiarch library folder: systemd looks for user units in <prefix>/lib/systemd/user.
install(FILES packaging/horaline.service DESTINATION lib/systemd/user)
install(FILES packaging/horaline@.service DESTINATION lib/systemd/system)
foreach(size ${HORALINE_ICON_SIZES})
    install(FILES ${HORALINE_ICONS}/horaline-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME horaline.png)
endforeach()

# Manual pages and the changelog compressed as Debian ships them: gzip -9n, so the package is the same
# whichever day it is built.
set(HORALINE_MAN_PAGES Horaline horaline-timecode horaline-autostart)
set(HORALINE_COMPRESSED)
foreach(page ${HORALINE_MAN_PAGES})
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/docs/man/${page}.1 > ${CMAKE_BINARY_DIR}/man/${page}.1.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
    list(APPEND HORALINE_COMPRESSED ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
list(APPEND HORALINE_COMPRESSED ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${HORALINE_COMPRESSED})

set(HORALINE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/horaline)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz README.md DESTINATION ${HORALINE_DOCDIR})
install(FILES packaging/Horaline.ini DESTINATION ${HORALINE_DOCDIR}/examples)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME horaline)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME horaline)
set(CPACK_PACKAGE_VENDOR "The Horaline authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "relays a wall-clock time code between serial clock equipment and TCP/IP")
# Wrapped by hand: the control file keeps the lines as they are written here.
set(CPACK_PACKAGE_DESCRIPTION "Horaline relays a wall-clock value between serial clock equipment and a
TCP/IP network. It is set up once and left running for years, in the
notification area of a desktop or as a systemd user service on a machine
without one.

In server mode it reads time-code frames (STX and six digits HHMMSS) from an
input serial port and sends the time to up to five TCP clients, such as
clock-display stations or other Horalines. In client mode it connects to such
a server and writes each value as a framed time code to an output serial port
that drives a clock display.

It recovers by itself when a serial adapter is plugged in again, the server
comes back or the listening port frees, and logs every event with its time.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://horaline.org/")
# Debug information stays in the build tree; the package carries stripped programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Horaline authors <maintainers@horaline.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin, which no library link reveals.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
