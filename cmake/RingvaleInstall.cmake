# Installing and packaging: the program and the modem simulator, the manual, a desktop entry,
# AppStream metainfo and the hicolor icons in their standard places; `cpack -G DEB` builds a
# Debian package that depends on the libraries it links.
include(GNUInstallDirs)

install(TARGETS ringvale ringvale-modemsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/help/ringvale.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ringvale/help)
set(RINGVALE_DESKTOP ${CMAKE_SOURCE_DIR}/resources/desktop)
install(FILES ${RINGVALE_DESKTOP}/org.ringvale.Ringvale.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${RINGVALE_DESKTOP}/org.ringvale.Ringvale.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${RINGVALE_DESKTOP}/icons/org.ringvale.Ringvale.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${RINGVALE_DESKTOP}/icons/org.ringvale.Ringvale-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME org.ringvale.Ringvale.png)
endforeach()

set(CPACK_PACKAGE_NAME ringvale)
set(CPACK_PACKAGE_VENDOR "Ringvale")
set(CPACK_PACKAGE_CONTACT "Ringvale developers <support@ringvale.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Caller ID, call log and answering machine for a voice modem")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ringvale)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
# The libraries it links are found by dpkg-shlibdeps; the window system plugin is loaded, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-image-formats-plugins")
set(CPACK_GENERATOR DEB)
include(CPack)
