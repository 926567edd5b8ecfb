#!/usr/bin/env bash
# Fuzzes one target for a while: tools/fuzz.sh TARGET SECONDS (TARGET is config, model, ...:
# tests/fuzz/fuzz_TARGET.cpp). Builds the fuzz targets with clang into build-fuzz/, starts from
# the committed corpus (tests/fuzz/corpus/TARGET) plus what earlier runs found (build-fuzz/corpus/),
# and keeps any crashing input in build-fuzz/crashes/TARGET/. Add a crashing input to the committed
# corpus once it is fixed: the test suite replays that corpus. Single-core; run it niced if you like.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -ne 2 ]; then
    echo "usage: $0 TARGET SECONDS   (targets: $(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//' | tr '\n' ' '))" >&2
    exit 2
fi
target="$1"
seconds="$2"
[ -f "$root/tests/fuzz/fuzz_$target.cpp" ] || { echo "no fuzz target '$target'" >&2; exit 2; }

build="$root/build-fuzz"
mkdir -p "$build"
launcher=()
if command -v ccache > /dev/null; then launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
bash "$root/tools/build.sh" "$build" -DQUILLFEN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" > "$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }

corpus="$build/corpus/$target"
crashes="$build/crashes/$target"
mkdir -p "$corpus" "$crashes"
# Fork mode keeps going after a crash, so one run collects every kind of crash it meets (some
# are the model importer's own, which no input check of ours reaches).
options=(-max_total_time="$seconds" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=20
         -artifact_prefix="$crashes/" -print_final_stats=1 -rss_limit_mb=4096)
[ -f "$root/tests/fuzz/$target.dict" ] && options+=(-dict="$root/tests/fuzz/$target.dict")

# The graphics driver's leaks cannot be told from ours; the test suite's sanitizer pass checks leaks.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
run=("$build/bin/fuzz_$target" "${options[@]}" "$corpus" "$root/tests/fuzz/corpus/$target")
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 640x480x24" "${run[@]}"
else
    "${run[@]}"
fi
found=$(find "$crashes" -type f | wc -l)
echo "== fuzz_$target: $found crashing input(s) kept in $crashes"
