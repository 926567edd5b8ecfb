#!/usr/bin/env bash
# Writes the catalogue template, po/quillfen.pot, from every text the sources mark for translation
# (_(), N_(), C_() and NC_()), and the desktop entry's description. With an argument, writes it there instead (the catalogue test
# compares a fresh one with the committed one).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/po/quillfen.pot}"
cd "$root"
# Sorted by file, so the template changes only where the texts do.
mapfile -t sources < <(find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
xgettext --language=C++ --from-code=UTF-8 --keyword=_ --keyword=N_ --keyword=C_:1c,2 --keyword=NC_:1c,2 \
    --keyword=shownText --add-comments=TRANSLATORS: --sort-by-file --add-location=file \
    --package-name=Quillfen --package-version="$(sed -n 's/^project(Quillfen VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" \
    --msgid-bugs-address=team@quillfen.org --copyright-holder="The Quillfen team" \
    --omit-header --output="$out.body" "${sources[@]}"
# The desktop entry's description, as the desktop's menus show it in the player's language.
xgettext --language=Desktop --keyword= --keyword=GenericName --keyword=Comment --add-location=file \
    --omit-header --output="$out.desktop" dist/org.quillfen.Quillfen.desktop.in
# A header of our own, without the date of the run: the template changes only when a text does.
{
    cat <<'HEADER'
# The texts of Quillfen, for translators: copy this file to po/LANG.po, translate, and add LANG
# to po/LINGUAS. See the README's "Translations".
# Copyright (C) The Quillfen team
# This file is distributed under the same license as the Quillfen package.
#
#, fuzzy
msgid ""
msgstr ""
"Project-Id-Version: Quillfen\n"
"Report-Msgid-Bugs-To: team@quillfen.org\n"
"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\n"
"Last-Translator: FULL NAME <EMAIL@ADDRESS>\n"
"Language-Team: LANGUAGE <LL@li.org>\n"
"Language: \n"
"MIME-Version: 1.0\n"
"Content-Type: text/plain; charset=UTF-8\n"
"Content-Transfer-Encoding: 8bit\n"
"Plural-Forms: nplurals=INTEGER; plural=EXPRESSION;\n"

HEADER
    cat "$out.body"
    echo
    cat "$out.desktop"
} > "$out"
rm -f "$out.body" "$out.desktop"
