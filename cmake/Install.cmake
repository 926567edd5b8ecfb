# `cmake --install BUILD --prefix P` and `cpack -G DEB`: the game, its assets with the font,
# what a desktop needs to show it in its menus and software centre, the manual page, and the
# copyright file and changelog Debian asks of every package.
set(QUILLFEN_ID org.quillfen.Quillfen)
set(QUILLFEN_DIST ${CMAKE_SOURCE_DIR}/dist)

install(TARGETS quillfen RUNTIME DESTINATION ${QUILLFEN_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/ DESTINATION ${QUILLFEN_ASSETS_DESTINATION}
        PATTERN fonts EXCLUDE)
# The font is not committed (it comes from fonts-freefont-otf at configure time) but the
# package carries it, so the game never depends on where another package keeps its files.
install(FILES ${QUILLFEN_FONT} DESTINATION ${QUILLFEN_ASSETS_DESTINATION}/fonts)

install(FILES ${QUILLFEN_DESKTOP} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 64 128 256)
  install(FILES ${QUILLFEN_DIST}/icons/quillfen-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${QUILLFEN_ID}.png)
endforeach()
configure_file(${QUILLFEN_DIST}/${QUILLFEN_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/dist/${QUILLFEN_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dist/${QUILLFEN_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
configure_file(${QUILLFEN_DIST}/quillfen.6 ${CMAKE_BINARY_DIR}/dist/quillfen.6 @ONLY)

# The manual page and the changelog are kept compressed, as Debian keeps them; -n leaves the
# name and time out, so the same sources give the same package.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLFEN_DIST}/changelog)
foreach(file ${CMAKE_BINARY_DIR}/dist/quillfen.6 ${QUILLFEN_DIST}/changelog)
  get_filename_component(name ${file} NAME)
  execute_process(COMMAND gzip -9nc ${file} OUTPUT_FILE ${CMAKE_BINARY_DIR}/dist/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/dist/quillfen.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# The game's licence and whose files it carries (machine-readable, with the font's own
# licence), and what changed in each release.
install(FILES ${QUILLFEN_DIST}/copyright ${CMAKE_BINARY_DIR}/dist/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillfen)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillfen)
set(CPACK_PACKAGE_VENDOR "The Quillfen team")
set(CPACK_PACKAGE_CONTACT "The Quillfen team <team@quillfen.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fly a winged creature through an endless forest tunnel")
# Debian wants the long description in lines of under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "A small single-player 3D action game. A winged creature flies forward on
its own through an endless walled forest tunnel: rain costs health, pollen
buys time, trees and mushrooms knock it back, and every 15 seconds a new
level begins.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillfen.org/)
# The libraries the game links become the package's dependencies (dpkg-shlibdeps, from
# dpkg-dev); the OpenGL driver is loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)
