#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillfen.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
# Only the game: its assets are put in place when the build is configured; the tests, fuzz
# targets, tools and benchmarks wait for tools/test.sh.
QUILLFEN_TARGETS=quillfen bash "$root/tools/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quillfen needs a graphical display, and none is set (DISPLAY is empty)."
    echo "Start it from a desktop session, or try it without one under a virtual display:"
    echo "    xvfb-run -a bash tools/play.sh"
    exit 2
fi
cd "$root/build/bin"
exec ./quillfen
