#!/usr/bin/env bash
# Installs the game the two ways a player gets it, into scratch folders only, and plays each
# install: `cmake --install` into a scratch prefix, and the Debian package made by cpack,
# unpacked with dpkg-deb -x into a scratch root. The game is started from / with a scratch
# HOME, as a desktop menu would start it.
#   bash tests/e2e/install.sh BUILD/bin
# Needs cmake/cpack, dpkg-deb and dpkg-shlibdeps (dpkg-dev), desktop-file-validate
# (desktop-file-utils), appstreamcli (appstream), lintian, xdotool, ImageMagick's import and
# identify, python3, and an X display (without one it starts Xvfb itself). Prints PASS/FAIL
# per check.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
bin="$(cd "${1:-$PWD}" 2> /dev/null && pwd)" || { echo "FAIL: no folder ${1:-}"; exit 1; }
build="$(cd "$bin/.." && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    if command -v xvfb-run > /dev/null; then
        exec xvfb-run -a -s "-screen 0 1600x1200x24" bash "$0" "$bin"
    fi
    echo "FAIL: no X display and no xvfb-run"
    exit 1
fi
for tool in cmake cpack dpkg-deb dpkg-shlibdeps readelf desktop-file-validate appstreamcli lintian xdotool import identify xwininfo man gettext; do
    command -v "$tool" > /dev/null || { echo "FAIL: $tool is missing (bash tools/setup.sh installs it)"; exit 1; }
done
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3)" || { echo "FAIL: python3 is missing"; exit 1; }
[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: $build is not a configured build folder"; exit 1; }

# The checks read the game's English; a run in another language is asked for where it is checked.
unset LANGUAGE LC_MESSAGES
export LC_ALL=C
mapfile -t languages < <(grep -v '^#' "$root/po/LINGUAS" | tr -d ' ' | grep .)

id=org.quillfen.Quillfen
work="$(mktemp -d -t quillfen-install.XXXXXX)"
game_pid=""
failures=0

cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2> /dev/null; then
        kill -9 "$game_pid" 2> /dev/null
        wait "$game_pid" 2> /dev/null
    fi
    xdotool keyup F4 Escape 2> /dev/null
    if [ "${QUILLFEN_E2E_KEEP:-0}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
measure() { "$python" "$here/frame.py" "$@"; }
# shellcheck source=window.bash
source "$here/window.bash"
window_size() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }

# start GAME HOME LOG: starts the installed game from / with only a scratch HOME of its own;
# sets $win to its window, or fails when it exits or shows none.
start() {
    mkdir -p "$2"
    open_window "$3" / env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$2" "$1"
}

# drew_frames LABEL: after a few seconds of play the window shows the HUD's white text and
# the forest, not only the clear colour.
drew_frames() {
    local label=$1 shot="$work/$1.ppm" text=0 background=1
    for _ in $(seq 40); do
        if import -window "$win" -depth 8 "$shot" 2> /dev/null; then
            read -r text background < <(measure "$shot" white@0,0,0.3,0.06 grey@0,0.08,1,0.92)
            awk -v t="$text" -v b="$background" 'BEGIN { exit !(t >= 100 && b < 0.9) }' && break
        fi
        sleep 0.5
    done
    if awk -v t="$text" -v b="$background" 'BEGIN { exit !(t >= 100 && b < 0.9) }'; then
        pass "$label: the game draws frames (HUD text pixels $text, background share $background)"
    else
        fail "$label: no drawn frame (HUD text pixels $text, background share $background)"
    fi
}

# stop LABEL LOG ASSETS: Escape ends the game with status 0; it named the assets it used and
# printed nothing else.
stop() {
    local label=$1 log=$2 assets=$3 status
    xdotool keydown Escape
    sleep 0.5
    xdotool keyup Escape
    ( sleep 5; kill -9 "$game_pid" 2> /dev/null ) &
    local watchdog=$!
    wait "$game_pid"
    status=$?
    kill "$watchdog" 2> /dev/null
    wait "$watchdog" 2> /dev/null
    game_pid=""
    check "$label: Escape ends the game with status 0 (status $status)" [ "$status" -eq 0 ]
    # Besides, a machine without sound (a build machine) is told so, once.
    local silent="Sound: no audio device, playing silently"
    if [ "$(grep -vxF "$silent" "$log")" = "Using the assets in $assets/" ] && [ "$(grep -cxF "$silent" "$log")" -le 1 ]; then
        pass "$label: the only message names the installed assets"
    else
        fail "$label: expected only \"Using the assets in $assets/\"; the game printed:"
        sed 's/^/    | /' "$log"
    fi
}

# ---------------------------------------------------------------- cmake --install
prefix="$work/prefix"
if cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1; then
    pass "cmake --install into a scratch prefix"
else
    fail "cmake --install into a scratch prefix"
    cat "$work/install.log"
    exit 1
fi
# Laid out as Debian lays out games: the program in games/, its data in share/games/.
game="$prefix/games/quillfen"
data="$prefix/share/games/quillfen/assets"
check "the game is installed as games/quillfen" [ -x "$game" ]
# What a desktop program answers on the command line, without opening a window.
version=$(sed -n 's/^project(Quillfen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
out=$(cd / && "$game" --version 2>&1)
status=$?
check "--version prints \"quillfen $version\" and exits 0 (\"$out\", status $status)" [ "$status" -eq 0 -a "$out" = "quillfen $version" ]
out=$(cd / && "$game" --help 2>&1)
status=$?
if [ "$status" -eq 0 ] && [ "$(head -1 <<< "$out")" = "usage: quillfen [--replay FILE]" ] \
    && grep -q '^  --replay FILE ' <<< "$out" && grep -q '^  --help ' <<< "$out" && grep -q '^  --version ' <<< "$out"; then
    pass "--help prints the usage and a line for each option, and exits 0"
else
    fail "--help: status $status, output:"
    sed 's/^/    | /' <<< "$out"
fi
# The translations: a catalogue for each language, and the game started from / in French speaks
# French, its texts as the installed catalogue has them (asked of gettext itself).
missing=""
for lang in "${languages[@]}"; do
    [ -s "$prefix/share/locale/$lang/LC_MESSAGES/quillfen.mo" ] || missing="$missing $lang"
done
check "share/locale holds the catalogue of each of the ${#languages[@]} languages${missing:+, missing:$missing}" [ -z "$missing" ]
french() { TEXTDOMAINDIR="$prefix/share/locale" LC_ALL=C.UTF-8 LANGUAGE=fr gettext -d quillfen "$1"; }
usage_fr=$(french "usage: quillfen [--replay FILE]")
out=$(cd / && env -u LC_ALL LANG=fr_FR.UTF-8 "$game" --help 2>&1)
check "LANG=fr_FR.UTF-8 (not even installed here): --help begins \"$(head -1 <<< "$out")\"" \
    [ "$usage_fr" != "usage: quillfen [--replay FILE]" -a "$(head -1 <<< "$out")" = "$usage_fr" ]
no_window_fr=$(french "failed to create glfw window")
# The last word of a start without a display is the game's own (GLFW says why before it, in English).
out=$(cd / && env -u DISPLAY -u LC_ALL LANGUAGE=fr HOME="$work/home-fr" "$game" 2>&1 | tail -1)
check "LANGUAGE=fr without a display ends with \"$out\"" [ "$no_window_fr" != "failed to create glfw window" -a "$out" = "$no_window_fr" ]
out=$(cd / && "$game" --no-such-option 2>&1)
status=$?
check "an unknown option prints the usage and exits 2 (status $status)" [ "$status" -eq 2 -a "$out" = "usage: quillfen [--replay FILE]" ]
# The whole asset folder, the font (put into the sources by the build) included.
if diff -r "$root/assets" "$data" > "$work/assets.diff" 2>&1 && [ -s "$data/fonts/OratorStd.otf" ]; then
    pass "share/games/quillfen/assets is the whole asset folder with the font"
else
    fail "share/games/quillfen/assets differs from the asset folder: $(head -5 "$work/assets.diff")"
fi
for size in 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    got=$(identify -format '%wx%h %[channels]' "$icon" 2> /dev/null)
    check "a ${size}px icon with transparency ($got)" [ "${got%% *}" = "${size}x${size}" -a "${got#* }" = srgba ]
done
desktop="$prefix/share/applications/$id.desktop"
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] && grep -qx 'Categories=Game;ArcadeGame;' "$desktop" \
    && grep -qx 'Exec=quillfen' "$desktop" && grep -qx "Icon=$id" "$desktop" \
    && [ "$(grep -c '^Comment\[' "$desktop")" -eq "${#languages[@]}" ]; then
    pass "the desktop entry validates, starts quillfen with its icon from the game menus, and is described in each language"
else
    fail "desktop entry: $out"
fi
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1) && grep -q '<screenshot ' "$metainfo" \
    && grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"; then
    pass "the AppStream metadata validates, with a screenshot and the desktop entry"
else
    fail "AppStream metadata: $out"
fi
manual="$prefix/share/man/man6/quillfen.6.gz"
if [ -f "$manual" ] && out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manual" 2>&1 > "$work/man.txt") && [ -z "$out" ] \
    && grep -q '^CONTROLS' "$work/man.txt" && grep -q '^SETTINGS' "$work/man.txt" && grep -q '^FILES' "$work/man.txt" \
    && grep -q '^DIAGNOSTICS' "$work/man.txt" && grep -q -- '^ *--replay FILE ' "$work/man.txt" \
    && grep -q 'GNU General Public License' "$work/man.txt"; then
    pass "the manual page renders without warnings, with options, controls, settings, files, messages and licence"
else
    fail "manual page: ${out:-sections missing}"
fi

# The player's own config.txt wins over the installed one; F4 reads both again.
home="$work/home-prefix"
mkdir -p "$home/.config/quillfen"
printf 'window_width = 800\n' > "$home/.config/quillfen/config.txt"
if start "$game" "$home" "$work/prefix.log"; then
    drew_frames "scratch prefix"
    check "the player's window_width and the installed window_height shape the window ($(window_size "$win"))" \
        [ "$(window_size "$win")" = 800x750 ]
    printf 'window_width = 640\n' > "$home/.config/quillfen/config.txt"
    sed -i 's/^window_height *=.*/window_height = 500/' "$data/config.txt"
    xdotool keydown F4
    sleep 0.5
    xdotool keyup F4
    for _ in $(seq 50); do
        [ "$(window_size "$win")" = 640x500 ] && break
        sleep 0.1
    done
    check "F4 reads both files again: the window is 640x500 ($(window_size "$win"))" [ "$(window_size "$win")" = 640x500 ]
    stop "scratch prefix" "$work/prefix.log" "$data"
else
    fail "scratch prefix: the installed game showed no window"
    cat "$work/prefix.log"
fi

# Without its installed assets: one message naming them, status 1. The installed game never takes
# the assets that "../../assets/" from its working directory would reach, here its own moved there.
mv "$data" "$work/assets"
mkdir -p "$work/run/bin"
( cd "$work/run/bin" && exec env HOME="$work/home-none" timeout 20 "$game" ) > "$work/none.log" 2>&1
status=$?
mv "$work/assets" "$data"
if [ "$status" -eq 1 ] && [ "$(wc -l < "$work/none.log")" -eq 1 ] && grep -q '^ERROR - no assets found' "$work/none.log" \
    && grep -qF "$data/" "$work/none.log" && ! grep -qF "../../assets/" "$work/none.log"; then
    pass "without its assets the installed game exits with status 1, names them, and takes none from its working directory"
else
    fail "without assets: status $status, output:"
    sed 's/^/    | /' "$work/none.log"
fi

# ---------------------------------------------------------------- the Debian package
if (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package") > "$work/cpack.log" 2>&1 \
    && deb=$(ls "$work"/package/quillfen_*.deb 2> /dev/null) && [ -n "$deb" ]; then
    pass "cpack -G DEB made $(basename "$deb")"
else
    fail "cpack -G DEB made no package"
    tail -20 "$work/cpack.log"
    exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
missing=""
# Every library the game names as needed, by the Debian package that holds it.
for library in $(readelf -d "$game" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldd "$game" | awk -v l="$library" '$1 == l {print $3}')
    owner=""
    # dpkg knows a library by the path its package gave it, with or without the /usr merge.
    for known in "$path" "/usr$path" "${path#/usr}"; do
        owner=$(dpkg -S "$known" 2> /dev/null | head -1 | cut -d: -f1)
        [ -n "$owner" ] && break
    done
    [ -n "$owner" ] && [[ ", $depends," == *", $owner "* || ", $depends," == *", $owner,"* ]] || missing="$missing $library(${owner:-?})"
done
check "the package depends on the packages of every library the game links${missing:+, missing:$missing}" [ -z "$missing" ]
echo "  .. Depends: $depends"
if apt-get -s install "$deb" > "$work/apt.log" 2>&1; then
    pass "apt can install the package on this system (simulated)"
else
    fail "apt cannot install the package: $(tail -3 "$work/apt.log")"
fi

# Debian's own check of a package: any error fails; warnings are listed.
lintian "$deb" > "$work/lintian.log" 2> "$work/lintian.err"
status=$?
if [ "$status" -eq 0 ] && ! grep -q '^E: ' "$work/lintian.log"; then
    pass "lintian finds no errors in the package"
    grep '^W: ' "$work/lintian.log" | sed 's/^/  .. /'
else
    fail "lintian (status $status) finds errors in the package:"
    sed 's/^/    | /' "$work/lintian.log" "$work/lintian.err"
fi

unpacked="$work/root"
dpkg-deb -x "$deb" "$unpacked"
doc="$unpacked/usr/share/doc/quillfen"
check "the package holds the game in /usr/games, its data in /usr/share/games, the desktop entry, the metadata, the icons, the manual, the copyright file and the changelog" \
    test -x "$unpacked/usr/games/quillfen" -a -s "$unpacked/usr/share/games/quillfen/assets/fonts/OratorStd.otf" \
    -a -f "$unpacked/usr/share/applications/$id.desktop" -a -f "$unpacked/usr/share/metainfo/$id.metainfo.xml" \
    -a -f "$unpacked/usr/share/icons/hicolor/256x256/apps/$id.png" -a -f "$unpacked/usr/share/man/man6/quillfen.6.gz" \
    -a -f "$doc/copyright" -a -f "$doc/changelog.gz"
missing=""
for lang in "${languages[@]}"; do
    [ -s "$unpacked/usr/share/locale/$lang/LC_MESSAGES/quillfen.mo" ] || missing="$missing $lang"
done
check "the package holds the catalogue of each language in /usr/share/locale${missing:+, missing:$missing}" [ -z "$missing" ]
# The game's licence for its own files, the font's (with its exception) for the font.
if grep -qx 'License: GPL-3+' "$doc/copyright" && grep -qx 'Files: assets/fonts/OratorStd.otf' "$doc/copyright" \
    && grep -qx 'License: GPL-3+ with Special Font Exception' "$doc/copyright" \
    && grep -q '<project_license>GPL-3.0-or-later</project_license>' "$unpacked/usr/share/metainfo/$id.metainfo.xml"; then
    pass "the copyright file and the metadata give the licences: the game GPL 3 or later, the font with its exception"
else
    fail "the copyright file or the metadata lack the licences"
fi
if start "$unpacked/usr/games/quillfen" "$work/home-package" "$work/package.log"; then
    drew_frames "unpacked package"
    check "the unpacked game takes the installed window size ($(window_size "$win"))" [ "$(window_size "$win")" = 1000x750 ]
    stop "unpacked package" "$work/package.log" "$unpacked/usr/share/games/quillfen/assets"
else
    fail "unpacked package: the game showed no window"
    cat "$work/package.log"
fi

if [ "$failures" -eq 0 ]; then
    echo "install: all checks passed"
else
    echo "install: $failures check(s) failed"
fi
[ "$failures" -eq 0 ]
