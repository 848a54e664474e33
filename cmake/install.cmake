# Installing: the program, its help, its desktop entry, its icon, its manual page and
# the documents a Debian package carries; and the Debian package of the same layout
# (cpack -G DEB).
install(TARGETS glimmerby RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/GLIMMERBY.HLP DESTINATION ${CMAKE_INSTALL_DATADIR}/glimmerby)
install(FILES data/glimmerby.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES data/glimmerby.svg DESTINATION ${icons}/scalable/apps)
install(FILES data/glimmerby-48.png DESTINATION ${icons}/48x48/apps RENAME glimmerby.png)
install(FILES data/glimmerby-256.png DESTINATION ${icons}/256x256/apps RENAME glimmerby.png)

# Whoever builds the package for others names the address that answers for it.
set(GLIMMERBY_PACKAGE_CONTACT "Glimmerby developers <glimmerby@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

# The manual page and the change log go compressed as Debian keeps them: gzip -9 without
# a name or a time stamp, so that the same sources give the same package.
set(docs ${CMAKE_BINARY_DIR}/package-docs)
configure_file(data/debian/changelog.in ${docs}/source/changelog @ONLY)
configure_file(data/glimmerby.1 ${docs}/source/glimmerby.1 COPYONLY)
set(compressed)
foreach(name changelog glimmerby.1)
    add_custom_command(OUTPUT ${docs}/${name}.gz
                       COMMAND gzip -9nc ${docs}/source/${name} > ${docs}/${name}.gz
                       DEPENDS ${docs}/source/${name})
    list(APPEND compressed ${docs}/${name}.gz)
endforeach()
add_custom_target(package_docs ALL DEPENDS ${compressed})
install(FILES ${docs}/glimmerby.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/glimmerby)
install(FILES data/debian/copyright ${docs}/changelog.gz DESTINATION ${docdir})

set(CPACK_PACKAGE_NAME glimmerby)
set(CPACK_PACKAGE_VENDOR "${GLIMMERBY_PRODUCT_NAME}")
set(CPACK_PACKAGE_CONTACT "${GLIMMERBY_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer and organizer for movies, pictures and sounds")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Glimmerby shows a collection of movies, pictures and sound files in one\n"
       "window: a directory list, a file list filtered by media kind and a preview\n"
       "that shows a picture, plays a movie or plays a sound as soon as a file is\n"
       "chosen. A slide show steps through the list, and the sounds of a directory\n"
       "can play as background music.\n"
       "\n"
       "From the same window the files are copied or moved to a destination\n"
       "directory, optionally converted to JPEG, shrunk to thumbnails or turned on\n"
       "the way; renamed, deleted and described with a line of text each.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries the program links come from its own links. The ones it loads at run time
# are named here, as Debian 12 ships them: libmpv (movies and sounds), the window system
# plugin and a General MIDI SoundFont; xdg-user-dir names the pictures directory.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libmpv2 (>= 0.35.1), qt6-qpa-plugins, timgm6mb-soundfont | fluid-soundfont-gm")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs")
include(CPack)
