#!/usr/bin/env bash
# Makes the golden replays again after an intended change of the game's behaviour:
#   bash tools/replays/record.sh               a scripted pilot flies each of the three flights
#                                              again; recordings and expected ends are replaced
#   bash tools/replays/record.sh --expect-only keeps the recordings, writes down their new ends
# Names after the option (pollen, trees, rain) limit it to those flights.
# Needs a display; without one it runs under Xvfb. Review the new ends with git diff before committing.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1600x1200x24" bash "$0" "$@"
fi
bash "$root/tools/build.sh" "$root/build" > /dev/null
golden="$root/build/bin/golden"
out="$root/tests/replays"
# The game keeps its own copy of each run under XDG_DATA_HOME: a scratch one, not the player's.
scratch="$(mktemp -d -t quillfen-golden.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME="$scratch"
cd "$root/build/bin"
mode=record
if [ "${1:-}" = "--expect-only" ]; then mode=expect; shift; fi
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(pollen trees rain)
for name in "${names[@]}"; do
    if [ "$mode" = record ]; then
        for attempt in 1 2 3; do
            "$golden" record "$name" "$scratch/$name.qfr" | tee "$scratch/$name.log" && break
            [ "$attempt" = 3 ] && { echo "the $name flight failed three times"; exit 1; }
        done
        recorded="$(tail -n 1 "$scratch/$name.log")"
        cp "$scratch/$name.qfr" "$out/$name.qfr"
    fi
    played="$("$golden" expect "$out/$name.qfr" | tail -n 1)"
    if [ "$mode" = record ] && [ "$played" != "$recorded" ]; then
        echo "the $name replay does not end as its flight did:"
        echo "  flown:  $recorded"
        echo "  played: $played"
        exit 1
    fi
    echo "$played" > "$out/$name.expected"
    echo "$name: $played"
done
