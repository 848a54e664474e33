# Installing: the program, its help, its desktop entry and its icon; and the Debian
# package of the same layout (cpack -G DEB).
install(TARGETS glimmerby RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/GLIMMERBY.HLP DESTINATION ${CMAKE_INSTALL_DATADIR}/glimmerby)
install(FILES data/glimmerby.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES data/glimmerby.svg DESTINATION ${icons}/scalable/apps)
install(FILES data/glimmerby-48.png DESTINATION ${icons}/48x48/apps RENAME glimmerby.png)
install(FILES data/glimmerby-256.png DESTINATION ${icons}/256x256/apps RENAME glimmerby.png)

set(CPACK_PACKAGE_NAME glimmerby)
set(CPACK_PACKAGE_VENDOR "${GLIMMERBY_PRODUCT_NAME}")
set(CPACK_PACKAGE_CONTACT "Glimmerby developers <glimmerby@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer and organizer for movies, pictures and sounds")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries come from the program's own links; the window system plugin and the
# General MIDI SoundFont are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, timgm6mb-soundfont | fluid-soundfont-gm")
include(CPack)
