#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (under Xvfb when no display is set).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
ctest_args=(--test-dir "$root/build" --output-on-failure "$@")
if [ -z "${DISPLAY:-}" ]; then
    # xvfb-run is a POSIX sh script: it passes a command on, but not an exported bash function.
    xvfb-run -a -s "-screen 0 1600x1200x24" ctest "${ctest_args[@]}"
else
    ctest "${ctest_args[@]}"
fi
