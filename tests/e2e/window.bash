# Sourced by the end-to-end scripts (its name keeps it from being a test of its own).

# open_window LOG DIR COMMAND...: starts the game with COMMAND from the working directory DIR,
# its output in LOG, waits for its window and focuses it; sets game_pid and win. A busy Xvfb
# now and then refuses a connection: that is the machine, not the game, so it starts again.
open_window() {
    local log=$1 dir=$2
    shift 2
    for _ in 1 2 3; do
        ( cd "$dir" && exec "$@" ) > "$log" 2>&1 &
        game_pid=$!
        win=""
        for _ in $(seq 300); do
            win=$(xdotool search --onlyvisible --pid "$game_pid" --name '^Quillfen$' 2> /dev/null | head -1)
            [ -n "$win" ] && break
            kill -0 "$game_pid" 2> /dev/null || break
            sleep 0.1
        done
        [ -n "$win" ] && break
        wait "$game_pid" 2> /dev/null
        game_pid=""
        grep -q "Failed to open display" "$log" || return 1
        echo "  .. the X server refused the game's connection; starting it again"
        sleep 1
    done
    [ -n "$win" ] || return 1
    xdotool windowfocus --sync "$win" 2> /dev/null || xdotool windowfocus "$win"
}
