# The translations: every po/LANG.po named in po/LINGUAS is checked (msgfmt --check: its header,
# and that every format keeps the English one's arguments) and compiled into the build's locale
# folder, where a game run from this build finds it, and installed under share/locale.
find_program(QUILLFEN_MSGFMT msgfmt REQUIRED)
set(QUILLFEN_PO ${CMAKE_SOURCE_DIR}/po)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLFEN_PO}/LINGUAS)
file(STRINGS ${QUILLFEN_PO}/LINGUAS QUILLFEN_LINGUAS REGEX "^[^#]")
set(QUILLFEN_CATALOGUES)
foreach(lang ${QUILLFEN_LINGUAS})
  string(STRIP "${lang}" lang)
  set(mo ${QUILLFEN_BUILD_LOCALE}/${lang}/LC_MESSAGES/quillfen.mo)
  add_custom_command(OUTPUT ${mo}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLFEN_BUILD_LOCALE}/${lang}/LC_MESSAGES
                     COMMAND ${QUILLFEN_MSGFMT} --check -o ${mo} ${QUILLFEN_PO}/${lang}.po
                     DEPENDS ${QUILLFEN_PO}/${lang}.po
                     COMMENT "Compiling the ${lang} catalogue")
  list(APPEND QUILLFEN_CATALOGUES ${mo})
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES)
endforeach()
# The desktop entry, with its description in every language of the catalogues.
set(QUILLFEN_DESKTOP ${CMAKE_BINARY_DIR}/dist/org.quillfen.Quillfen.desktop)
add_custom_command(OUTPUT ${QUILLFEN_DESKTOP}
                   COMMAND ${QUILLFEN_MSGFMT} --desktop --template=${CMAKE_SOURCE_DIR}/dist/org.quillfen.Quillfen.desktop.in
                           -d ${QUILLFEN_PO} -o ${QUILLFEN_DESKTOP}
                   DEPENDS ${CMAKE_SOURCE_DIR}/dist/org.quillfen.Quillfen.desktop.in ${QUILLFEN_PO}/LINGUAS
                           ${QUILLFEN_CATALOGUES}
                   COMMENT "Translating the desktop entry")
add_custom_target(translations ALL DEPENDS ${QUILLFEN_CATALOGUES} ${QUILLFEN_DESKTOP})
add_dependencies(quillfen translations)

# `make pot`: po/quillfen.pot again from the sources, for translators to work from.
add_custom_target(pot COMMAND bash ${CMAKE_SOURCE_DIR}/tools/update-pot.sh
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} VERBATIM)
