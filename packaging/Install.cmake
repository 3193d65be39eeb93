# Installs Horaline like any program of Debian's, and packs it as two .debs for Debian 12 from one build:
# horaline-relay, the relay alone for a machine without a desktop (Qt Core + Network, libsystemd), and
# horaline, the window over it.
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

# The relay: the program, its units, its manual page, the example of /etc/horaline.
install(TARGETS horaline-relay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT relay)
# Not the multiarch library folder: systemd looks for units in <prefix>/lib/systemd.
install(FILES packaging/horaline.service DESTINATION lib/systemd/user COMPONENT relay)
install(FILES packaging/horaline@.service DESTINATION lib/systemd/system COMPONENT relay)
# /etc whatever the prefix: the system unit reads its settings there.
install(FILES packaging/example.ini DESTINATION /etc/horaline COMPONENT relay)
# The drop-in that lets the relay feed chrony, for an admin to copy where systemd reads it.
install(FILES packaging/chrony-horaline.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/horaline-relay/examples
    COMPONENT relay)
# Prometheus's alerts on a relay, for a monitor to copy.
install(FILES docs/prometheus/horaline.rules.yml DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/horaline-relay/examples
    COMPONENT relay)

# The window.
install(TARGETS Horaline horaline-timecode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT window)
install(PROGRAMS packaging/horaline-autostart DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT window)
install(FILES packaging/org.horaline.Horaline.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
    COMPONENT window)
# Its releases are the changelog's.
set(HORALINE_RELEASE_LIST)
foreach(release ${HORALINE_RELEASES})
    string(REPLACE "=" ";" release ${release})
    list(GET release 0 version)
    list(GET release 1 date)
    string(APPEND HORALINE_RELEASE_LIST "\n    <release version=\"${version}\" date=\"${date}\"/>")
endforeach()
configure_file(packaging/org.horaline.Horaline.metainfo.xml ${CMAKE_BINARY_DIR}/org.horaline.Horaline.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.horaline.Horaline.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    COMPONENT window)
foreach(size ${HORALINE_ICON_SIZES})
    install(FILES ${HORALINE_ICONS}/horaline-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME horaline.png COMPONENT window)
endforeach()

# Manual pages and the changelog compressed as Debian ships them: gzip -9n, so the package is the same
# whichever day it is built.
set(HORALINE_COMPRESSED)
foreach(entry horaline-relay:relay Horaline:window horaline-timecode:window horaline-autostart:window)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 page)
    list(GET entry 1 component)
    # The version and date of the release, as the changelog says.
    configure_file(docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
        COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/man/${page}.1 > ${CMAKE_BINARY_DIR}/man/${page}.1.gz
        DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1)
    list(APPEND HORALINE_COMPRESSED ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
list(APPEND HORALINE_COMPRESSED ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${HORALINE_COMPRESSED})

# Each package carries its own copyright and changelog, as Debian asks.
foreach(entry horaline-relay:relay horaline:window)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 package)
    list(GET entry 1 component)
    install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
install(FILES packaging/Horaline.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/horaline/examples COMPONENT window)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL relay window)
set(CPACK_PACKAGE_NAME horaline)
set(CPACK_PACKAGE_VENDOR "The Horaline authors")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://horaline.org/")
# Debug information stays in the build tree; the packages carry stripped programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Horaline authors <maintainers@horaline.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RELAY_PACKAGE_NAME horaline-relay)
set(CPACK_DEBIAN_RELAY_FILE_NAME DEB-DEFAULT)
# The system user is made with adduser, as Debian's maintainer scripts do.
set(CPACK_DEBIAN_RELAY_PACKAGE_DEPENDS "adduser")
set(CPACK_COMPONENT_RELAY_DESCRIPTION "relays a wall-clock time code between serial clock equipment and TCP/IP
Horaline relays a wall-clock value between serial clock equipment and a
TCP/IP network. It is set up once and left running for years.
.
In server mode it reads time-code frames (STX and six digits HHMMSS) from an
input serial port and sends the time to up to five TCP clients, such as
clock-display stations or other Horalines. In client mode it connects to such
a server and writes each value as a framed time code to an output serial port
that drives a clock display.
.
This package holds the relay without a window, for a machine without a
desktop: the systemd service horaline@NAME runs it on /etc/horaline/NAME.ini
as the system user horaline, and horaline-relay --status answers monitors.
It recovers by itself when a serial adapter is plugged in again, the server
comes back or the listening port frees, and logs every event with its time.")
set(CPACK_DEBIAN_RELAY_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/relay/conffiles ${CMAKE_CURRENT_LIST_DIR}/relay/postinst
    ${CMAKE_CURRENT_LIST_DIR}/relay/prerm ${CMAKE_CURRENT_LIST_DIR}/relay/postrm)
set(CPACK_DEBIAN_RELAY_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME horaline)
set(CPACK_DEBIAN_WINDOW_FILE_NAME DEB-DEFAULT)
# The window needs a platform plugin, which no library link reveals, and the relay of the same build.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-qpa-plugins, horaline-relay (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION "relays a wall-clock time code between serial clock equipment and TCP/IP (window)
Horaline relays a wall-clock value between serial clock equipment and a
TCP/IP network. It is set up once and left running for years.
.
This package holds its window, which sits in the notification area of a
desktop and starts the relay again at every login when it was left running,
on the settings of the user who runs it; horaline-relay runs the same relay
without a window.")
include(CPack)
