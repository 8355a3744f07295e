# shellcheck shell=bash
# Shared by the end-to-end tests of the saver under Wine. Sourced by each test,
# which runs inside display-session.sh (Xvfb 1280x720x24 with openbox).
# CTest passes:
#   NIVORA_SCR          the NivoraGlade.scr to test
#   NIVORA_WINE_RUN     cmake/wine-run.sh
#   NIVORA_WINEPREFIX   the prefix (made on first use)
#   NIVORA_WINEARCH     win32 or win64
#   NIVORA_BOX_READER   message_box_text.exe
#   NIVORA_UNCOVER      uncover.exe
#   NIVORA_PROBE        window_probe.exe
#   NIVORA_E2E_OUT      a folder for screenshots
set -u
# shellcheck source=../lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

KEY='HKCU\Software\NivoraGlade'
SAVER_PID=
mkdir -p "$NIVORA_E2E_OUT"

export WINEPREFIX="$NIVORA_WINEPREFIX"
export WINEDEBUG=-all
# No Mono or Gecko installers; and no debugger, so that a crash ends the
# program with its exception code instead of a debugger's exit code 0.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

wine_run() { "$NIVORA_WINE_RUN" "$NIVORA_WINEPREFIX" "$NIVORA_WINEARCH" "$@"; }

# The Wine desktop must not outlive this test's display.
end_wine() {
    if [ -n "$SAVER_PID" ] && kill -0 "$SAVER_PID" 2>/dev/null; then
        kill "$SAVER_PID" 2>/dev/null
    fi
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
trap end_wine EXIT

now() { date +%s.%N; }
seconds_since() { echo "$(now) - $1" | bc; }
less_than() { [ "$(echo "$1 < $2" | bc)" = 1 ]; }

# Registry reads and changes go through this runner.
REG_RUNNER=wine_run

# A registry query (the arguments of reg query), read until two reads agree.
# Now and then Wine's reg exits 1 at once, printing nothing, for a value the
# registry holds (seen in about one run in twenty of a test that reads some
# thirty values); a test must fail only on what the registry holds.
reg_query() {
    local previous current attempt
    previous=$("$REG_RUNNER" reg query "$@" 2>/dev/null; echo "exit $?")
    for attempt in 1 2 3; do
        current=$("$REG_RUNNER" reg query "$@" 2>/dev/null; echo "exit $?")
        [ "$current" = "$previous" ] && break
        echo "-- two reads of reg query $* differ; reading again" >&2
        previous=$current
        sleep 1
    done
    printf '%s\n' "$current" | sed '$d'
    return "${current##*exit }"
}

# Runs reg add, delete or export, again when it failed without a word: the
# silent failure described at reg_query can hit these too, and each of them
# may be repeated. A failure that reg explains is returned at once. (Its words
# go to a file: a wineserver it starts keeps the error stream open for
# seconds, and a pipe would wait for that.)
reg_change() {
    local attempt
    for attempt in 1 2 3; do
        "$REG_RUNNER" reg "$@" >/dev/null 2>"$NIVORA_E2E_OUT/reg-error.txt" && return 0
        [ ! -s "$NIVORA_E2E_OUT/reg-error.txt" ] || return 1
        sleep 0.5
    done
    return 1
}

# A first run: no key at all.
delete_key() { reg_change delete "$KEY" /f || true; }

set_dword() { reg_change add "$KEY" /v "$1" /t REG_DWORD /d "$2" /f || fail "reg add $1"; }

# A key of exactly the six settings as REG_DWORDs, in the store's order:
# Algorithm BackgroundRands Background Time_Show Rands_Algorithm Brightness.
store_settings() {
    delete_key
    set_dword Algorithm "$1"
    set_dword BackgroundRands "$2"
    set_dword Background "$3"
    set_dword Time_Show "$4"
    set_dword Rands_Algorithm "$5"
    set_dword Brightness "$6"
}

# "TYPE VALUE" of one value, e.g. "REG_DWORD 0x14"; empty when absent.
reg_value() {
    reg_query "$KEY" /v "$1" | tr -d '\r' | awk -v name="$1" '$1 == name { print $2, $3 }'
}

# The text of the saver's message box.
box_text() { wine_run "$NIVORA_BOX_READER" "Nivora Glade Screensaver" | tr -d '\r'; }

# Waits up to $1 seconds for the saver's message box and prints its X window
# id. The application's own window has the same caption, and shows from the
# start of the message loop, but no size.
wait_box() {
    local deadline id
    deadline=$(echo "$(now) + $1" | bc)
    while less_than "$(now)" "$deadline"; do
        for id in $(xdotool search --onlyvisible --name '^Nivora Glade Screensaver$' 2>/dev/null); do
            read -r _ _ width height < <(window_geometry "$id")
            if [ "${width:-0}" -gt 10 ] && [ "${height:-0}" -gt 10 ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Answers message box $1 with Return.
dismiss_box() {
    xdotool windowactivate --sync "$1" 2>/dev/null
    xdotool key Return
}

start_saver() {
    SAVER_START=$(now)
    wine_run "$NIVORA_SCR" "$@" &
    SAVER_PID=$!
}

# Waits up to $2 seconds for a visible window whose name is exactly $1;
# prints its X window id.
wait_window() {
    local deadline id
    deadline=$(echo "$(now) + $2" | bc)
    while less_than "$(now)" "$deadline"; do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# "X Y WIDTH HEIGHT" of an X window.
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                             /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }'
}

# Clicks the close box that the window manager draws at the right end of the
# title bar over X window $1 (a square as tall as the bar, inside its edge).
click_close_box() {
    local x y w h right top
    read -r x y w h <<<"$(window_geometry "$1")"
    read -r _ right top _ <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    [ -n "$top" ] && [ "$top" -gt 4 ] || fail "no title bar over window $1"
    xdotool mousemove $((x + w + right - top / 2 - 1)) $((y - top / 2)) click 1
}

screenshot() { import -window root "$1" || fail "screenshot $1"; }

# Screenshots into $1 every half second, up to 30 s, until the area $2 shows a
# colour field: under load the first picture can take seconds.
wait_coloured() {
    local deadline
    deadline=$(echo "$(now) + 30" | bc)
    while less_than "$(now)" "$deadline"; do
        screenshot "$1"
        [ "$(colours "$1" "$2")" -gt 100 ] && return 0
        sleep 0.5
    done
    return 1
}

# Gives window $1 the keyboard and checks that it took it, up to 3 tries: a
# key sent before then goes to whichever window had it.
activate() {
    local try
    for try in 1 2 3; do
        xdotool windowactivate --sync "$1" 2>/dev/null
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
        sleep 0.2
    done
    note "window $1 did not take the keyboard; $(keyboard_owner) has it"
}

# The window that has the keyboard, for a failure's message.
keyboard_owner() {
    local id
    id=$(xdotool getwindowfocus 2>/dev/null) || { echo "no window"; return; }
    echo "window $id '$(xdotool getwindowname "$id" 2>/dev/null)'"
}

# Bounding box WxH+X+Y of the white pixels (or nothing when there are none).
white_box() { convert "$1" -fill black +opaque white -format '%@' info:; }

# Share (0..1) of the pixels of a region that differ between two pictures.
differing_share() {
    local a="$NIVORA_E2E_OUT/region-a.png" b="$NIVORA_E2E_OUT/region-b.png"
    convert "$1" -crop "$3" +repage "$a"
    convert "$2" -crop "$3" +repage "$b"
    compare -metric AE "$a" "$b" null: 2>&1 |
        awk -v region="$3" '{ split(region, r, /[x+]/); printf "%.4f\n", $1 / (r[1] * r[2]) }'
}

# The controls of the visible window captioned $1, as window_controls.exe lists them.
controls() { wine_run "$NIVORA_CONTROLS" "$1" | tr -d '\r'; }

# "LEFT TOP WIDTH HEIGHT client WIDTH HEIGHT dpi DPI" of a listed window.
window_numbers() { sed -n 's/^window "[^"]*" //p' <<<"$1"; }

# Fields of the listing line that matches the extended regular expression $2.
control_line() { grep -E -m 1 "$2" <<<"$1"; }

# "WIDTH HEIGHT" of the screen.
screen_size() { xwininfo -root | awk '/^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w, h }'; }

# The lines of a listing ($1) whose window or control does not lie wholly on
# the screen, each followed by its rectangle on the screen; nothing when all do.
off_screen() {
    local width height
    read -r width height <<<"$(screen_size)"
    awk -v W="$width" -v H="$height" '
        function check(l, t, w, h) {
            if (l < 0 || t < 0 || l + w > W || t + h > H) print line " -> on the screen " l, t, w, h
        }
        { line = $0; gsub(/"[^"]*"/, "\"\"") }  # texts may hold blanks
        $1 == "window" { check($3, $4, $5, $6) }
        $1 == "origin" { x = $2; y = $3 }
        $1 == "control" { check(x + $4, y + $5, $6, $7) }' <<<"$1"
}

# Windows of the X client list that a task bar shows (no skip-taskbar state),
# one name a line.
taskbar_names() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST | sed 's/.*# //; s/,//g'); do
        xprop -id "$id" _NET_WM_STATE | grep -q SKIP_TASKBAR && continue
        xprop -id "$id" WM_NAME | sed -n 's/^WM_NAME([A-Z_0-9]*) = "\(.*\)"$/\1/p'
    done
}

# Starts the saver with Wine's trace of its window timers: a line goes to
# $TIMER_TRACE each time the reveal (timer 1) or the hold (timer 2) is started.
# The reveal's timer starts once at creation and again at every hold's end.
start_saver_traced() {
    TIMER_TRACE="$NIVORA_E2E_OUT/timers.txt"
    : >"$TIMER_TRACE"
    SAVER_START=$(now)
    WINEDEBUG=-all,+timestamp,+msg wine "$NIVORA_SCR" "$@" \
        2> >(grep --line-buffered 'NtUserSetTimer Added' >"$TIMER_TRACE") &
    SAVER_PID=$!
}

# How often timer $1 was started so far.
timer_starts() { grep -c "Added 0x[0-9a-f]* $1 " "$TIMER_TRACE"; }

# Waits up to $3 seconds until timer $1 has been started $2 times.
wait_timer_starts() {
    local deadline
    deadline=$(echo "$(now) + $3" | bc)
    while [ "$(timer_starts "$1")" -lt "$2" ]; do
        less_than "$(now)" "$deadline" || return 1
        saver_running || return 1
        sleep 0.01
    done
}

# Waits up to $2 seconds until X window $1 is no longer viewable.
wait_window_gone() {
    local deadline
    deadline=$(echo "$(now) + $2" | bc)
    while xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; do
        less_than "$(now)" "$deadline" || return 1
        sleep 0.005
    done
}

# ---- the window's thread, asked every 50 ms (window_probe.exe --from-creation)

# Starts the probe for $2 seconds from the moment a window "Nivora Glade"
# exists; its lines go to file $1. Returns once the probe is looking, so that
# a saver started next is seen from its window's creation on.
start_probe() {
    PROBE_OUT=$1
    : >"$PROBE_OUT"
    wine_run "$NIVORA_PROBE" --from-creation "$2" >"$PROBE_OUT" &
    PROBE_PID=$!
    wait_probe_event waiting 60 >/dev/null || fail "the probe did not start"
}

# The Unix time of the probe's first line of kind $1 (waiting, exists,
# visible, field, gone); nothing when there is none yet.
probe_event() { tr -d '\r' <"$PROBE_OUT" | awk -v kind="$1" '$1 == kind { print $2; exit }'; }

# Waits up to $2 seconds for the probe's event $1 and prints its time.
wait_probe_event() {
    local deadline at
    deadline=$(echo "$(now) + $2" | bc)
    while less_than "$(now)" "$deadline"; do
        at=$(probe_event "$1")
        if [ -n "$at" ]; then
            echo "$at"
            return 0
        fi
        sleep 0.01
    done
    return 1
}

# The longest answer (ms) among the probes sent within $1 seconds of the
# window's creation, and when it was sent, in seconds after the creation.
probe_longest() {
    tr -d '\r' <"$PROBE_OUT" | awk -v span="$1" '$1 == "exists" { start = $2 }
        NF == 3 && $1 ~ /^[0-9.]+$/ && $1 - start <= span && $3 + 0 >= longest + 0 { longest = $3; at = $1 - start }
        END { printf "%.2f %.2f\n", longest, at }'
}

# Starts the full-screen saver with the probe watching it for $2 seconds from
# its window's creation on, up to three times, until the longest answer in
# the first 5 s is at most $1 ms: a machine busy with other work can delay an
# answer now and then, while a window whose thread makes a picture fails
# every attempt. The saver of the last attempt is left running; sets CREATED
# (the window's creation, Unix time) and LONGEST (ms). Fails after three.
start_saver_probed() {
    local attempt at
    for attempt in 1 2 3; do
        start_probe "$NIVORA_E2E_OUT/probe-$attempt.txt" "$2"
        start_saver /s
        CREATED=$(wait_probe_event exists 60) || fail "no saver window"
        wait "$PROBE_PID"
        read -r LONGEST at < <(probe_longest 5)
        note "attempt $attempt: longest answer in the first 5 s $LONGEST ms, $at s after the window's creation"
        less_than "$1" "$LONGEST" || return 0
        [ "$attempt" = 3 ] && break
        xdotool key space
        wait_saver_exit 10000 || fail "a key did not end the saver"
    done
    fail "in three starts the window's thread took up to $LONGEST ms to answer"
}

# Starts the full-screen saver with the probe watching it, and presses a key
# $2 seconds after the probe saw its window's event $1 (exists or visible).
# Sets EVENT_AT and PRESSED (Unix times).
start_saver_key_after() {
    start_probe "$NIVORA_E2E_OUT/probe-key.txt" 5
    start_saver /s
    EVENT_AT=$(wait_probe_event "$1" 60) || fail "the probe saw no saver window ($1)"
    sleep "$(echo "$EVENT_AT + $2 - $(now)" | bc | sed 's/^-.*/0/')"
    PRESSED=$(now)
    xdotool key space
}

# ---- several monitors

# A nested X server (Xephyr) with one head per WxH argument, side by side,
# Xinerama and no RandR: the way Wine lists several monitors. DISPLAY points
# at it from now on, openbox runs on it, and it ends with the test.
start_nested_monitors() {
    local fifo nested screens=()
    for size in "$@"; do screens+=(-screen "$size"); done
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xephyr -displayfd 3 "${screens[@]}" +xinerama -extension RANDR -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    NESTED_PID=$!
    read -r nested <"$fifo"
    rm -f "$fifo"
    trap end_nested EXIT
    export DISPLAY=":$nested"
    openbox --sm-disable >/dev/null 2>&1 &
}

end_nested() {
    end_wine
    kill "$NESTED_PID" 2>/dev/null
}

# Visible saver windows, one "ID X Y W H" per line, narrowest first.
saver_windows() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Nivora Glade$' 2>/dev/null); do
        echo "$id $(window_geometry "$id")"
    done | sort -k5 -n
}

# Waits up to $2 seconds until $1 saver windows show.
wait_saver_windows() {
    local deadline
    deadline=$(echo "$(now) + $2" | bc)
    while less_than "$(now)" "$deadline"; do
        [ "$(saver_windows | wc -l)" -ge "$1" ] && return 0
        sleep 0.05
    done
    return 1
}

# ---- what a picture shows

# Pixels within 6 % of white in a region WxH+X+Y: the snowflake's light.
whitish_pixels() {
    convert "$1" -crop "$2" +repage -fuzz 6% -fill white -opaque white -fill black +opaque white \
        -format '%[fx:round(mean*w*h)]' info:
}

# Checks the saver picture in region WxH+X+Y of screenshot $1: a coloured
# field left of the centred square, the snowflake's light inside the square
# and not beside it, and no black band along the right or bottom edge.
# $2 names the picture in messages.
check_saver_picture() {
    local shot=$1 name=$2 region=$3 width height x y left crop white outside
    IFS='x+' read -r width height x y <<<"$region"
    crop="$NIVORA_E2E_OUT/picture-$name.png"
    convert "$shot" -crop "$region" +repage "$crop" || fail "crop $region"
    left=$(( (width - height) / 2 ))
    if [ "$left" -gt 0 ]; then
        [ "$(colours "$crop" "${left}x$height+0+0")" -gt 100 ] || fail "$name: no coloured field left of the square"
        outside=$(whitish_pixels "$crop" "${left}x$height+0+0")
    else
        outside=0
    fi
    white=$(whitish_pixels "$crop" "${height}x$height+$left+0")
    note "$name: $white near-white pixels in the square, $outside left of it"
    [ "$white" -gt 1000 ] && [ "$white" -gt $((4 * outside)) ] || fail "$name: no snowflake in the centred square"
    # The snowflake grows from its square's centre.
    read -r cx cy < <(convert "$crop" -fuzz 6% -fill white -opaque white -fill black +opaque white \
        -format '%@' info: | awk -F'[x+]' '{ printf "%d %d\n", $3 + $1 / 2, $4 + $2 / 2 }')
    note "$name: the snowflake's light is centred at $cx,$cy"
    [ $(( (cx - width / 2) ** 2 + (cy - height / 2) ** 2 )) -le $(( (height / 20) ** 2 )) ] ||
        fail "$name: the snowflake is centred at $cx,$cy, not at the picture's centre"
    [ "$(colours "$crop" "8x$height+$((width - 8))+0")" -gt 1 ] || fail "$name: a band of one colour at the right edge"
    [ "$(colours "$crop" "${width}x8+0+$((height - 8))")" -gt 1 ] || fail "$name: a band of one colour at the bottom"
}
