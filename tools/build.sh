#!/usr/bin/env bash
# Configures and builds Quillfen into build/ (or the folder given as $1, with extra CMake options after it).
# Everything is built (the game, the tests, the tools, the benchmarks), or only the targets
# named in QUILLFEN_TARGETS (space-separated).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
mkdir -p "$dir"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
read -r -a targets <<< "${QUILLFEN_TARGETS:-}"
cmake --build "$dir" -j2 ${targets[@]:+--target "${targets[@]}"}
