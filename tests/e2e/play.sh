#!/usr/bin/env bash
# Plays the real game the way a person does: starts bin/quillfen on a copy of the assets,
# drives its window with X keyboard and mouse events and judges screenshots of it.
#   bash tests/e2e/play.sh BUILD/bin
# Needs an X display of at least 1000x750x24 (without one it starts Xvfb itself), xdotool,
# ImageMagick's import and python3. Prints PASS/FAIL per check; exits non-zero on any failure.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
bin="$(cd "${1:-$PWD}" 2> /dev/null && pwd)" || { echo "FAIL: no folder ${1:-}"; exit 1; }
game="$bin/quillfen"

if [ -z "${DISPLAY:-}" ]; then
    if command -v xvfb-run > /dev/null; then
        exec xvfb-run -a -s "-screen 0 1600x1200x24" bash "$0" "$bin"
    fi
    echo "FAIL: no X display and no xvfb-run"
    exit 1
fi

for tool in xdotool import xwininfo; do
    command -v "$tool" > /dev/null || { echo "FAIL: $tool is missing (bash tools/setup.sh installs it)"; exit 1; }
done
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3)" || { echo "FAIL: python3 is missing"; exit 1; }
[ -x "$game" ] || { echo "FAIL: no game at $game"; exit 1; }
# The window (1000x750) must fit on the screen, in true colour, for its screenshots to be whole.
read -r screen_w screen_h screen_depth < <(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} /Depth:/ {d=$2} END {print w, h, d}')
if [ "${screen_w:-0}" -lt 1000 ] || [ "${screen_h:-0}" -lt 750 ] || [ "${screen_depth:-0}" -lt 24 ]; then
    echo "FAIL: the screen is ${screen_w}x${screen_h}x${screen_depth}; the game needs at least 1000x750x24"
    echo "      (under Xvfb: xvfb-run -a -s \"-screen 0 1600x1200x24\" ...)"
    exit 1
fi

work="$(mktemp -d -t quillfen-e2e.XXXXXX)"
game_pid=""
failures=0

cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2> /dev/null; then
        kill "$game_pid" 2> /dev/null
        sleep 0.3
        kill -0 "$game_pid" 2> /dev/null && kill -9 "$game_pid" 2> /dev/null
        wait "$game_pid" 2> /dev/null
    fi
    # Keys left held would reach whatever gets the focus next on this display.
    xdotool keyup s w p Escape F2 F3 F4 F5 F6 F11 2> /dev/null
    # QUILLFEN_E2E_KEEP=1 keeps the screenshots and logs for a look afterwards.
    if [ "${QUILLFEN_E2E_KEEP:-0}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  .. $*"; }
now() { date +%s.%N; }
# calc EXPRESSION: prints the value of an awk expression.
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
elapsed() { calc "$(now) - $started"; }
started=$(now)
# True when the awk condition over the given numbers holds, e.g. holds "$a > 2 * $b".
holds() { awk "BEGIN { exit !($1) }"; }

# The checks read the English HUD and menus, whatever language the machine running them speaks.
unset LANGUAGE LC_MESSAGES
export LC_ALL=C

# A game over writes the player's record under XDG_DATA_HOME: keep it in the scratch folder.
export XDG_DATA_HOME="$work/data"
record="$XDG_DATA_HOME/quillfen/best.txt"

# The game opens "../../assets/": run it two levels below a copy of the assets.
cp -r "$root/assets" "$work/assets"
# The game also reads the player's own config.txt: not the one of whoever runs this.
export XDG_CONFIG_HOME="$work/player-config"
mkdir -p "$work/play/bin"
config="$work/assets/config.txt"
# The automatic render scale follows the frame time, so two shots of the same view can differ
# in sharpness; the checks of run 1 compare pictures, so it draws at full scale throughout.
sed -i -e 's/^render_scale *=.*/render_scale = 1/' "$config"
shader="$work/assets/shaders/rawcolor/rawcolor.frag"

# Regions, as fractions of the window from its top-left corner.
HEALTH=0,0,0.3,0.06          # "Health: 100%"
FPS=0.88,0,1,0.06            # "FPS: n"
SCENE=0,0.08,1,0.92          # the picture without the HUD's lines
SKY=0,0.08,1,0.3             # the clear colour above the woods
CENTRE=0.35,0.3,0.65,0.7     # the creature, in third person
AHEAD=0.3,0.08,0.7,0.45      # the background above the woods straight ahead
WOODS=0,0.08,1,0.5           # the upper half: woods, trees and background, little floor
TIME=0.33,0,0.75,0.06        # "Remaining time: n.nn"
MIDDLE=0.25,0.3,0.75,0.7     # where "PAUSED" and its items appear

win=""
# shot NAME: captures the window into $work/NAME.ppm and prints that path.
shot() {
    local file="$work/$1.ppm"
    import -window "$win" -depth 8 "$file" 2> /dev/null || return 1
    echo "$file"
}
measure() { "$python" "$here/frame.py" "$@"; }
# png_size FILE: width and height from a PNG's header, as measure prints a size.
png_size() { "$python" -c 'import struct, sys; print(*struct.unpack(">II", open(sys.argv[1], "rb").read(24)[16:24]))' "$1"; }
# shellcheck source=window.bash
source "$here/window.bash"

# press KEY: a real key press held across a few frames; the game acts when the key is let go.
press() {
    xdotool keydown "$1"
    sleep 0.8
    xdotool keyup "$1"
}

# wait_for SECONDS NAME MEASURE CONDITION: shoots until CONDITION (awk, over $v = the measure)
# holds, or the time is up. Leaves the last value in $value and the last shot in $last_shot.
wait_for() {
    local limit=$1 name=$2 query=$3 condition=$4 deadline
    deadline=$(calc "$(now) + $limit")
    while :; do
        value=""
        # A window that is not shown yet cannot be captured: try again.
        if last_shot=$(shot "$name"); then
            value=$(measure "$last_shot" "$query")
            if awk -v v="$value" "BEGIN { exit !($condition) }"; then return 0; fi
        fi
        holds "$(now) > $deadline" && return 1
        sleep 0.2
    done
}

# start_game LOG: starts the game, waits for its window, focuses it and holds S, so the
# creature hovers where it starts until a check lets it go.
start_game() {
    open_window "$1" "$work/play/bin" "$game" || return 1
    xdotool keydown s
    # The first frame: the HUD's health line appears in the top-left corner.
    wait_for 40 first "white@$HEALTH" 'v >= 100'
}

# stop_game: Escape, then the process must end by itself, at once and with status 0.
stop_game() {
    local t0 status waited watchdog
    xdotool keydown Escape
    sleep 0.8
    t0=$(now)
    xdotool keyup Escape
    # Wait for the exit itself (no polling to steal the game's time); a game that hangs is
    # killed after a few seconds.
    ( sleep 4; kill -9 "$game_pid" 2> /dev/null ) &
    watchdog=$!
    wait "$game_pid"
    status=$?
    waited=$(calc "$(now) - $t0")
    kill "$watchdog" 2> /dev/null
    wait "$watchdog" 2> /dev/null
    game_pid=""
    if [ "$status" -eq 0 ] && holds "$waited < 1.0"; then
        pass "Escape ends the game with status 0 after $(printf %.2f "$waited") s"
    else
        fail "Escape: status $status after $(printf %.2f "$waited") s (a hung game is killed after 4 s)"
    fi
}

# fly SECONDS [KEY]: lets the creature fly on (with KEY held too), then makes it hover again.
fly() {
    if [ -n "${2:-}" ]; then xdotool keyup s keydown "$2"; else xdotool keyup s; fi
    sleep "$1"
    if [ -n "${2:-}" ]; then xdotool keydown s keyup "$2"; else xdotool keydown s; fi
    # Let the last moving frame reach the screen.
    sleep 0.8
}

# turn DY: moves the mouse DY pixels down from the window centre and waits until the game
# has taken the movement (it puts the cursor back to the centre every frame).
turn() {
    # shellcheck disable=SC2034  # SCREEN and WINDOW come with xdotool's --shell output
    local X Y WIDTH HEIGHT SCREEN WINDOW cx cy
    eval "$(xdotool getwindowgeometry --shell "$win")"
    # The centre in screen coordinates, where the game puts the cursor back.
    cx=$((X + WIDTH / 2)); cy=$((Y + HEIGHT / 2))
    xdotool mousemove "$cx" $((cy + $1))
    for _ in $(seq 50); do
        sleep 0.1
        eval "$(xdotool getmouselocation --shell)"
        [ "$X" -eq "$cx" ] && [ "$Y" -eq "$cy" ] && return 0
    done
    return 1
}

# peak SECONDS NAME QUERY: the largest value of the measure over shots taken for that long
# (the creature's wings beat: a single shot may catch them edge-on).
peak() {
    local deadline best=0 v f
    deadline=$(calc "$(now) + $1")
    while holds "$(now) < $deadline"; do
        if f=$(shot "$2"); then
            v=$(measure "$f" "$3")
            holds "$v > $best" && best=$v
        fi
        sleep 0.1
    done
    echo "$best"
}

# ---------------------------------------------------------------- run 1: keys, mouse, wheel
# The creature hovers at the start, so every change of the picture comes from the check.
log="$work/game.log"
if ! start_game "$log"; then
    fail "first frame: no HUD in the window's top-left corner (window '${win}')"
    cat "$log"
    exit 1
fi
pass "first frame with the HUD (light pixels top-left: $value) after $(printf %.1f "$(elapsed)") s"
read -r width height < <(measure "$last_shot" size)
note "window ${width}x${height}"
# Without a window manager the focus is only what windowfocus set; keys go to the focus window.
focus=$(xdotool getwindowfocus 2> /dev/null)
if [ "$focus" = "$win" ]; then
    pass "the game window has the keyboard focus"
else
    fail "the keyboard focus is on window '$focus', not the game's '$win'"
fi

# F3: the frame rate top-right goes away.
fps_before=$(measure "$(shot fps)" "white@$FPS")
press F3
if holds "$fps_before >= 15" && wait_for 6 fps "white@$FPS" "v * 4 <= $fps_before"; then
    pass "F3 hides the frame rate (light pixels top-right: $fps_before -> $value)"
else
    fail "F3 did not hide the frame rate (light pixels top-right: $fps_before -> ${value:-none})"
fi

# F6: the whole HUD goes away; it stays hidden for the checks below.
hud_before=$(measure "$(shot hud)" "white@$HEALTH")
press F6
if holds "$hud_before >= 100" && wait_for 6 hud "white@$HEALTH" "v * 4 <= $hud_before"; then
    pass "F6 hides the HUD (light pixels top-left: $hud_before -> $value)"
else
    fail "F6 did not hide the HUD (light pixels top-left: $hud_before -> ${value:-none})"
fi

# F2: wireframe shows the clear colour between the lines; F2 again fills the faces again.
grey_solid=$(measure "$(shot solid)" "grey@$SCENE")
press F2
if wait_for 6 wire "grey@$SCENE" "v >= $grey_solid + 0.25"; then
    pass "F2 draws wireframe (background share $grey_solid -> $value)"
else
    fail "F2 did not draw wireframe (background share $grey_solid -> ${value:-none})"
fi
press F2
if wait_for 6 filled "grey@$SCENE" "v <= $grey_solid + 0.05"; then
    pass "F2 again draws filled faces (background share $value)"
else
    fail "F2 again did not draw filled faces (background share ${value:-none}, before $grey_solid)"
fi

# F5: a broken shader is reported and changes the picture; fixed, F5 brings the picture back.
before=$(shot before)
cp "$shader" "$work/rawcolor.frag.good"
echo "this line is not GLSL" >> "$shader"
compile_errors() { grep -c "ERROR - Shader Compile Error in Fragment" "$log"; }
errors_before=$(compile_errors)
press F5
for _ in $(seq 60); do
    [ "$(compile_errors)" -gt "$errors_before" ] && break
    sleep 0.1
done
if [ "$(compile_errors)" -gt "$errors_before" ]; then
    pass "F5 with a broken fragment shader prints \"ERROR - Shader Compile Error in Fragment\""
else
    fail "F5 with a broken fragment shader printed no compile error"
fi
if wait_for 6 broken "diff:$before@$WOODS" "v >= 6"; then
    pass "the broken shader changes the picture (difference to before: $value)"
else
    fail "the broken shader did not change the picture (difference to before: ${value:-none})"
fi
cp "$work/rawcolor.frag.good" "$shader"
lines_before=$(wc -l < "$log")
press F5
if wait_for 6 restored "diff:$before@$WOODS" 'v <= 3'; then
    pass "F5 with the shader fixed restores the picture (difference to before: $value)"
else
    fail "F5 with the shader fixed did not restore the picture (difference to before: ${value:-none})"
fi
if tail -n +$((lines_before + 1)) "$log" | grep -q "ERROR"; then
    fail "the fixed shader still reports: $(tail -n +$((lines_before + 1)) "$log" | grep ERROR | head -3)"
else
    pass "the fixed shader loads without errors"
fi

# Wheel: closer and closer, down to first person, where the creature itself is not drawn.
creature=$(peak 3 third "orange@$CENTRE")
if holds "$creature >= 100"; then
    pass "the creature is drawn in third person (orange pixels in the centre: $creature)"
else
    fail "the creature is not drawn in third person (orange pixels in the centre: $creature)"
fi
# Seven steps reach first person. Clicks within one frame count once: on a slow machine more
# rounds, slower, make up for merged clicks.
for pause in 0.4 0.8 1.2; do
    for _ in $(seq 8); do
        xdotool click 4
        sleep $pause
    done
    value=$(peak 2.5 first "orange@$CENTRE")
    holds "$value <= 5" && break
    note "still in third person after clicks $pause s apart (orange pixels: $value)"
done
if holds "$value <= 5"; then
    pass "the wheel zooms to first person: the creature is not drawn (orange pixels: $value)"
else
    fail "the wheel did not reach first person (orange pixels in the centre: $value)"
fi

# Mouse: a large downward movement pitches the camera down, so the background above the
# woods leaves the top of the picture; upward movement brings it back. A movement that lands
# while the game is putting the cursor back can be lost (for a player too), so each step is
# judged on the picture and the steps go on until the view has turned.
# By now the run may be over, and the cursor is then the game-over menu's pointer: Enter starts
# a new run (and does nothing while one is on), in which the mouse turns the view again.
xdotool key Return
sleep 0.5
sky_before=$(measure "$(shot level)" "grey@$SKY")
turns=0
turned=0
while [ $turns -lt 4 ]; do
    turn 300 || break
    turns=$((turns + 1))
    if wait_for 3 down "grey@$SKY" "v <= 0.02"; then turned=1; break; fi
done
if [ $turned -eq 1 ] && holds "$sky_before >= 0.3"; then
    pass "the mouse pitches the view down: $turns move(s) of 300 pixels (background share at the top $sky_before -> $value)"
else
    fail "the mouse did not pitch the view down: $turns move(s) of 300 pixels (background share at the top $sky_before -> ${value:-none})"
fi
turns=0
turned=0
while [ $turns -lt 6 ]; do
    turn -300 || break
    turns=$((turns + 1))
    if wait_for 3 up "grey@$SKY" "v >= 0.3"; then turned=1; break; fi
done
if [ $turned -eq 1 ]; then
    pass "the mouse pitches the view back up: $turns move(s) (background share at the top $value)"
else
    fail "the mouse did not pitch the view back up: $turns move(s) (background share at the top ${value:-none})"
fi

# F4: the window takes the size written in the copy of config.txt.
sed -i -e 's/^window_width *=.*/window_width = 800/' -e 's/^window_height *=.*/window_height = 600/' "$config"
press F4
size=""
for _ in $(seq 50); do
    size=$(xwininfo -id "$win" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    [ "$size" = "800x600" ] && break
    sleep 0.1
done
if [ "$size" = "800x600" ]; then
    pass "F4 resizes the window to the configured 800x600"
else
    fail "F4 did not resize the window (it is $size)"
fi

stop_game
note "run 1 took $(printf %.1f "$(elapsed)") s"

# Sound: a machine without an audio device (this one, most likely) is told so once, not every
# frame; with or without one, every sound file loads.
silent_lines=$(grep -c "^Sound: no audio device, playing silently$" "$log")
if [ "$silent_lines" -le 1 ] && ! grep -q "failed to load sound" "$log"; then
    pass "every sound loaded; \"no audio device\" said $silent_lines time(s)"
else
    fail "sound at start-up: $(grep -E "Sound:|failed to load sound" "$log" | sort | uniq -c | head -3)"
fi

# ---------------------------------------------------------------- runs 2 and 3: W
# The forest is the same on every run. Flying on, the woods ahead fill the background above
# them. Run 2 flies FLIGHT seconds twice without W; run 3 flies FLIGHT seconds with W, which
# must get about as far as run 2's second stop: nearer to it than to the first stop.
# A slower flying speed lets the flights last longer, so a frame more or less matters less.
cp "$root/assets/config.txt" "$config"
sed -i -e 's/^moveSensitivity *=.*/moveSensitivity = 25/' "$config"
FLIGHT=2.4

if start_game "$work/game2.log"; then
    sky0=$(measure "$(shot start)" "grey@$AHEAD")
    fly $FLIGHT
    sky1=$(measure "$(shot slow1)" "grey@$AHEAD")
    fly $FLIGHT
    sky2=$(measure "$(shot slow2)" "grey@$AHEAD")
    stop_game
    if holds "$sky0 - $sky2 >= 0.15"; then
        pass "the creature flies on by itself (background ahead $sky0 -> $sky1 -> $sky2)"
    else
        fail "the creature did not fly on by itself (background ahead $sky0 -> $sky1 -> $sky2)"
    fi
else
    fail "run 2: no first frame"
    cat "$work/game2.log"
fi

if start_game "$work/game3.log"; then
    fly $FLIGHT w
    sky_w=$(measure "$(shot fast)" "grey@$AHEAD")
    press F12
    stop_game
    shots=("$XDG_DATA_HOME"/quillfen/screenshots/quillfen-*.png)
    if [ -f "${shots[0]}" ] && grep -q "Screenshot saved: ${shots[0]}" "$work/game3.log" &&
        [ "$(png_size "${shots[0]}")" = "$(measure "$work/fast.ppm" size)" ]; then
        pass "F12 saves the window as ${shots[0]##*/}"
    else
        fail "F12 saved no screenshot of the window's size: $(ls "$XDG_DATA_HOME"/quillfen/screenshots 2>&1)"
    fi
    if [ -n "${sky2:-}" ] && holds "$sky_w < ($sky1 + $sky2) / 2"; then
        pass "W flies faster: after ${FLIGHT} s with W the background ahead is $sky_w, like $sky2 after twice that without W, not $sky1"
    else
        fail "W did not fly faster: background ahead after ${FLIGHT} s with W $sky_w; without W ${sky1:-?} after ${FLIGHT} s, ${sky2:-?} after twice that"
    fi
else
    fail "run 3: no first frame"
    cat "$work/game3.log"
fi

# ---------------------------------------------------------------- replay of run 3
# The run was recorded; played back twice it ends the same way both times, with the
# recorded moveSensitivity even though config.txt now says otherwise.
cp "$root/assets/config.txt" "$config"
replay="$XDG_DATA_HOME/quillfen/replays/last.qfr"
if [ -f "$replay" ]; then
    ends=()
    for round in 1 2; do
        ( cd "$work/play/bin" && timeout 300 "$game" --replay "$replay" ) > "$work/replay$round.log" 2>&1
        status=$?
        ends+=("$(tail -n 1 "$work/replay$round.log")")
        [ $status -eq 0 ] || fail "replay $round: status $status: $(tail -n 3 "$work/replay$round.log")"
    done
    if [[ "${ends[0]}" == "Replay ended: "* ]] && [ "${ends[0]}" = "${ends[1]}" ]; then
        pass "the recorded run plays back twice to the same end: ${ends[0]}"
    else
        fail "the recorded run played back to different ends: '${ends[0]}' and '${ends[1]}'"
    fi
else
    fail "run 3 left no replay at $replay"
fi

# ---------------------------------------------------------------- run 4: P, F11, a record
# The remaining time at the top counts down; paused it stands still and "PAUSED" is shown.
# Let run on, time runs out after 15 s of play and the record of the game is written.
# time_moves NAME: the difference of the remaining-time line over 1.2 s (0 when it stands still).
time_moves() {
    local a b
    a=$(shot "$1a") && sleep 1.2 && b=$(shot "$1b") && measure "$b" "diff:$a@$TIME"
}
rm -rf "$XDG_DATA_HOME"
# What a game killed while saving a replay leaves behind, beside a hidden file of the player's.
leftover="$XDG_DATA_HOME/quillfen/replays/.last.qfr.quillfen-tmp-Ab12Cd"
own="$XDG_DATA_HOME/quillfen/replays/.my-run.qfr.Ab12Cd"
mkdir -p "$XDG_DATA_HOME/quillfen/replays"
head -c 100000 /dev/zero > "$leftover"
echo mine > "$own"
touch -d '1 hour ago' "$leftover" "$own"
if start_game "$work/game4.log"; then
    if [ ! -e "$leftover" ] && [ -e "$own" ]; then
        pass "the start removed a cut-short write's temporary file and kept the player's own"
    else
        fail "stale temporary file: $(ls -A "$XDG_DATA_HOME/quillfen/replays" | tr '\n' ' ')"
    fi
    running=$(time_moves running)
    middle_before=$(measure "$(shot playing)" "white@$MIDDLE")
    press p
    sleep 0.5
    middle_paused=$(measure "$(shot paused)" "white@$MIDDLE")
    still=$(time_moves paused)
    if holds "$running >= 0.5" && holds "$still <= 0.05"; then
        pass "P pauses: the remaining time stands still (change over 1.2 s: $running playing, $still paused)"
    else
        fail "P did not pause: the remaining time changed by ${running:-?} playing and ${still:-?} paused over 1.2 s"
    fi
    if holds "$middle_paused >= $middle_before + 300"; then
        pass "the paused screen shows its text (light pixels in the middle: $middle_before -> $middle_paused)"
    else
        fail "no paused screen (light pixels in the middle: $middle_before -> $middle_paused)"
    fi
    press p
    sleep 0.5
    resumed=$(time_moves resumed)
    if holds "$resumed >= 0.5"; then
        pass "P again resumes: the remaining time runs (change over 1.2 s: $resumed)"
    else
        fail "P again did not resume (change over 1.2 s: $resumed)"
    fi

    # F11: the window fills the screen, and goes back to the configured size.
    window_size() { xwininfo -id "$win" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
    press F11
    for _ in $(seq 50); do [ "$(window_size)" = "${screen_w}x${screen_h}" ] && break; sleep 0.1; done
    full=$(window_size)
    press F11
    for _ in $(seq 50); do [ "$(window_size)" = "1000x750" ] && break; sleep 0.1; done
    back=$(window_size)
    if [ "$full" = "${screen_w}x${screen_h}" ] && [ "$back" = "1000x750" ]; then
        pass "F11 fills the screen ($full) and goes back to the configured 1000x750"
    else
        fail "F11: the window was $full (screen ${screen_w}x${screen_h}), then $back (configured 1000x750)"
    fi

    # Hovering at the start, the 15 s run out; the record appears at the game over.
    for _ in $(seq 300); do [ -f "$record" ] && break; sleep 0.1; done
    # The table's first line: "run = LEVEL SECONDS DATE ENDING NAME".
    first_run="$(grep -m1 '^run = ' "$record" 2> /dev/null || true)"
    if [ -f "$record" ] && [ "$(awk '{print $3}' <<< "$first_run")" = 0 ] &&
        holds "$(awk '{print $4}' <<< "$first_run") >= 13"; then
        pass "the game over wrote the record: $(tr '\n' ' ' < "$record")"
    else
        fail "no record of the game at $record: $(cat "$record" 2> /dev/null)"
        cat "$work/game4.log"
    fi
    stop_game
else
    fail "run 4: no first frame"
    cat "$work/game4.log"
fi

# ---------------------------------------------------------------- run 5: the menus
# P opens the pause menu over the frozen game; Down twice and Enter open SETTINGS, whose first
# line, SOUND VOLUME, is chosen; Left lowers it a step. Escape goes back to the pause menu (and
# writes the player's config.txt), Escape there quits. The next start shows the new value.
MENU=0.1,0.05,0.9,0.6        # the settings' first lines, the sound volume's bar among them
player_config="$XDG_CONFIG_HOME/quillfen/config.txt"
rm -rf "$XDG_CONFIG_HOME"
# Presses a moment apart, as fingers make them: a key let go and pressed again between two
# frames is one long press to the game.
open_settings() {
    press p
    sleep 0.3
    press Down
    sleep 0.3
    press Down
    sleep 0.3
    press Return
    sleep 0.5
}
if start_game "$work/game5.log"; then
    open_settings
    yellow_before=$(measure "$(shot settings-before)" "yellow@$MENU")
    press Left
    sleep 0.3
    press Escape
    sleep 0.5
    if grep -qx 'sound_volume = 0.7' "$player_config" 2> /dev/null && ! grep -q '^music_volume' "$player_config"; then
        pass "the settings screen lowered the sound volume and wrote it alone: $(grep -v '^//' "$player_config" | tr '\n' ' ')"
    else
        fail "the player's config.txt after the settings screen: $(cat "$player_config" 2> /dev/null || echo missing)"
    fi
    stop_game
    if start_game "$work/game5b.log"; then
        open_settings
        yellow_after=$(measure "$(shot settings-after)" "yellow@$MENU")
        # The chosen line's bar is a tenth shorter (and "70 %" a little less yellow than "80 %").
        if holds "$yellow_before >= 200" && holds "$yellow_after <= $yellow_before - 50"; then
            pass "the next start shows the new sound volume (highlight pixels $yellow_before -> $yellow_after)"
        else
            fail "the settings screen after a restart: highlight pixels $yellow_before -> $yellow_after"
        fi
        press Escape
        sleep 0.3
        stop_game
    else
        fail "run 5b: no first frame"
        cat "$work/game5b.log"
    fi
else
    fail "run 5: no first frame"
    cat "$work/game5.log"
fi

echo "run time $(printf %.1f "$(elapsed)") s"
if [ $failures -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
