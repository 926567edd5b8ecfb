#!/usr/bin/env bash
# The translations' catalogues, as a translator and a player rely on them:
# - po/quillfen.pot holds exactly the texts the sources mark for translation (it was made again
#   after the last change of a text);
# - every language of po/LINGUAS has its po/LANG.po and every po/LANG.po is in po/LINGUAS;
# - every catalogue passes msgfmt --check (its header, and every format keeps the arguments of the
#   English one, checked again with the template's c-format marks so that a translator's file
#   that dropped one is checked too), translates every text of the template, and has nothing
#   fuzzy or left over.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
po="$root/po"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

bash "$root/tools/update-pot.sh" "$work/fresh.pot"
# msgcmp: every text of the second file is in the first one.
if ! msgcmp --use-untranslated "$po/quillfen.pot" "$work/fresh.pot" 2> "$work/new"; then
    fail "po/quillfen.pot lacks texts of the sources (run tools/update-pot.sh):"; cat "$work/new"
fi
if ! msgcmp --use-untranslated "$work/fresh.pot" "$po/quillfen.pot" 2> "$work/old"; then
    fail "po/quillfen.pot has texts the sources no longer use (run tools/update-pot.sh):"; cat "$work/old"
fi

mapfile -t languages < <(grep -v '^#' "$po/LINGUAS" | tr -d ' ' | grep .)
for file in "$po"/*.po; do
    lang="$(basename "$file" .po)"
    printf '%s\n' "${languages[@]}" | grep -qx "$lang" || fail "po/$lang.po is not named in po/LINGUAS"
done
for lang in "${languages[@]}"; do
    file="$po/$lang.po"
    before=$failures
    if [ ! -f "$file" ]; then
        fail "po/LINGUAS names $lang, but there is no po/$lang.po"
        continue
    fi
    if ! msgfmt --check --statistics -o /dev/null "$file" 2> "$work/stats"; then
        fail "$lang: msgfmt --check refuses it:"; cat "$work/stats"
        continue
    fi
    # "169 translated messages." and nothing about fuzzy or untranslated ones.
    if ! grep -qE '^[0-9]+ translated messages?\.$' "$work/stats"; then
        fail "$lang: not every text is translated, or some are fuzzy: $(cat "$work/stats")"
    fi
    # msgfmt checks the formats of the entries marked c-format; the template says which those are,
    # whatever flags a translator's file kept (msgmerge marks a mismatch fuzzy: it is checked too).
    if ! msgmerge --quiet --no-fuzzy-matching -o "$work/merged.po" "$file" "$po/quillfen.pot" ||
        ! msgfmt --check-format --use-fuzzy -o /dev/null "$work/merged.po" 2> "$work/formats"; then
        fail "$lang: a translation takes other values than its English text:"; cat "$work/formats"
    fi
    if ! msgcmp "$file" "$po/quillfen.pot" 2> "$work/missing"; then
        fail "$lang: texts of the template are missing (msgmerge it):"; cat "$work/missing"
    fi
    if [ -n "$(msgattrib --only-obsolete "$file")" ]; then
        fail "$lang: obsolete entries are left over (msgattrib --no-obsolete)"
    fi
    if ! grep -q "^\"Language: $lang\\\\n\"" "$file"; then
        fail "$lang: its header does not say \"Language: $lang\""
    fi
    [ "$failures" -eq "$before" ] && echo "ok: $lang ($(cat "$work/stats"))"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "every catalogue is complete and checked"
