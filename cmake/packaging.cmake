# Installation layout and the Debian package. `cmake --install` puts both programs, the icon, the
# desktop entry and the translation where a Debian desktop expects them; CPack wraps the same tree
# in a .deb whose dependencies come from dpkg-shlibdeps (Debian's Qt 6 libraries, libsodium) plus
# the plugins the window needs at run time.
include(GNUInstallDirs)

install(TARGETS quillon quillon-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/Icon.ico
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME quillon.ico)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
install(FILES ${PROJECT_BINARY_DIR}/resources/Quillon_pro_ru_RU.qm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon/translations)

set(CPACK_PACKAGE_NAME "quillon")
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware image builder and flasher for STM32 LoRa boards")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
include(CPack)
