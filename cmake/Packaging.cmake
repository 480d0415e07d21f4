# Desktop integration and the Debian package. The program folder itself is installed
# by src/app and resources/; this adds what a Linux desktop looks for elsewhere.
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(gen ${CMAKE_BINARY_DIR}/packaging)

install(FILES ${pkg}/${VT_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# AppStream wants a reverse-DNS component id (the vendor's domain is vantobel.example);
# the component launches the desktop entry above.
set(metainfo example.vantobel.PlayTray.metainfo.xml)
configure_file(${pkg}/${metainfo}.in ${gen}/${metainfo} @ONLY)
install(FILES ${gen}/${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Every size of the icon set, the SVG included, under the hicolor theme.
set(icons ${PROJECT_SOURCE_DIR}/resources/icons/hicolor)
foreach(size 16x16 16x16@2 22x22 24x24 24x24@2 32x32 32x32@2 48x48 48x48@2 64x64 128x128 256x256)
    install(FILES ${icons}/${size}/apps/${VT_DESKTOP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()
install(FILES ${icons}/scalable/apps/${VT_DESKTOP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page and the Debian changelog go in compressed without time stamps.
find_program(VT_GZIP gzip REQUIRED)
configure_file(${pkg}/VantobelPlayTray.1 ${gen}/VantobelPlayTray.1 @ONLY)
configure_file(${pkg}/changelog.in ${gen}/changelog @ONLY)
foreach(file VantobelPlayTray.1 changelog)
    add_custom_command(
        OUTPUT ${gen}/${file}.gz
        COMMAND ${VT_GZIP} -9nf ${gen}/${file} -k
        DEPENDS ${gen}/${file}
        VERBATIM)
endforeach()
add_custom_target(vt_packaging_docs ALL DEPENDS ${gen}/VantobelPlayTray.1.gz ${gen}/changelog.gz)
install(FILES ${gen}/VantobelPlayTray.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/vantobel-play-tray)
install(FILES ${pkg}/copyright ${gen}/changelog.gz DESTINATION ${docdir})

# make package: build/vantobel-play-tray_<version>_<arch>.deb
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantobel-play-tray)
set(CPACK_PACKAGE_VENDOR Vantobel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray companion of the VantobelPlay media player")
set(CPACK_PACKAGE_DESCRIPTION
    "The notification-area companion of the VantobelPlay media player for young
families. It opens the player in its two modes, the player's console, the
updater and sibling programs, and shows the vendor's notices in small windows
that never take the keyboard focus.")
set(CPACK_PACKAGE_CONTACT "Vantobel Packaging <packaging@vantobel.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vantobel.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the linked libraries: the X platform plugin and Qt's Chinese translations
# (the standard buttons); a CJK font for the Chinese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")
# GNOME shows no tray icon without it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
# The vendor configuration (resources/config) is the packager's and the admin's to
# edit: dpkg keeps an edited copy across upgrades and removals.
file(WRITE ${gen}/conffiles "/etc/vantobel-play/Settings.xml\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${gen}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
