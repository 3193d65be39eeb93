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
install(PROGRAMS packaging/horaline-autostart DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/horaline.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Not the multiarch library folder: systemd looks for user units in <prefix>/lib/systemd/user.
install(FILES packaging/horaline.service DESTINATION lib/systemd/user)
foreach(size ${HORALINE_ICON_SIZES})
    install(FILES ${HORALINE_ICONS}/horaline-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME horaline.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME horaline)
set(CPACK_PACKAGE_VENDOR "Horaline")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Relays a wall-clock time code between serial clock equipment and TCP/IP")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Horaline developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin, which no library link reveals.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
