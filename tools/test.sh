#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (under Xvfb when no display is set);
# then builds the game again with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the test programs once more in that build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"

with_display() {
    if [ -z "${DISPLAY:-}" ]; then
        # xvfb-run is a POSIX sh script: it passes a command on, but not an exported bash function.
        xvfb-run -a -s "-screen 0 1600x1200x24" "$@"
    else
        "$@"
    fi
}

bash "$root/tools/build.sh" "$root/build"
with_display ctest --test-dir "$root/build" --output-on-failure "$@"

if [ "${QUILLFEN_SKIP_SANITIZERS:-0}" != "1" ]; then
    echo "== The same tests, built with AddressSanitizer and UndefinedBehaviorSanitizer =="
    bash "$root/tools/build.sh" "$root/build-asan" -DQUILLFEN_SANITIZE=ON -DQUILLFEN_EXTRAS=OFF -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$root/tools/sanitizer/lsan.supp:print_suppressions=0"
    # The end-to-end play test drives the normal build; the sanitizer run covers the test programs.
    with_display ctest --test-dir "$root/build-asan" --output-on-failure -E '^e2e_' "$@"
fi
