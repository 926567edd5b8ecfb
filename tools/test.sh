#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (under Xvfb when no display is set).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
run_tests() {
    ctest --test-dir "$root/build" --output-on-failure "$@"
}
if [ -z "${DISPLAY:-}" ]; then
    export -f run_tests
    export root
    xvfb-run -a -s "-screen 0 1600x1200x24" bash -c run_tests
else
    run_tests
fi
