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
#   NIVORA_E2E_OUT      a folder for screenshots
set -u

KEY='HKCU\Software\NivoraGlade'
SAVER_PID=
mkdir -p "$NIVORA_E2E_OUT"

export WINEPREFIX="$NIVORA_WINEPREFIX"
export WINEDEBUG=-all
# No Mono or Gecko installers; and no debugger, so that a crash ends the
# program with its exception code instead of a debugger's exit code 0.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

note() { echo "-- $*"; }

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

saver_running() { kill -0 "$SAVER_PID" 2>/dev/null; }

# Waits up to $1 seconds for the saver to end; sets SAVER_STATUS.
wait_saver_exit() {
    local deadline
    deadline=$(echo "$(now) + $1" | bc)
    while saver_running; do
        less_than "$(now)" "$deadline" || return 1
        sleep 0.05
    done
    SAVER_STATUS=0
    wait "$SAVER_PID" || SAVER_STATUS=$?
    SAVER_PID=
    return 0
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

screenshot() { import -window root "$1" || fail "screenshot $1"; }

# Pixels of exactly white in a region WxH+X+Y of a picture.
white_pixels() {
    convert "$1" -crop "$2" +repage -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:
}

# Bounding box WxH+X+Y of the white pixels (or nothing when there are none).
white_box() { convert "$1" -fill black +opaque white -format '%@' info:; }

# Distinct colours in a region.
colours() { convert "$1" -crop "$2" +repage -format '%k' info:; }

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
