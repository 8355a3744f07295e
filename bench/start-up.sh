#!/bin/bash
# How quickly the full-screen saver starts and answers, under Wine on a
# virtual screen (Xvfb with openbox), with Time_Show 1 and both random flags.
# For each of RUNS starts:
#   window    seconds from the launch to the window's creation (and showing)
#   field     seconds from the launch to the first picture's field on screen
#   longest   the longest answer (ms) of the window's thread to WM_NULL, sent
#             every 50 ms from the window's creation, in the first 5 s
#   key       seconds from a key pressed 0.3 s after the window's creation to the
#             end of the process (a second start); "lost" when the saver still
#             ran 10 s later
# then the medians. A measurement to run by hand, not a test; it uses the
# end-to-end tests' helpers and the tools of build-win32:
#   bench/start-up.sh [--runs N] [--size WxH] [--scr PATH]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
size=1920x1080
scr=
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --scr) scr=$(realpath "$2"); shift 2 ;;
        *) echo "usage: $0 [--runs N] [--size WxH] [--scr PATH]" >&2; exit 2 ;;
    esac
done
build="$root/build-win32"
[ -n "$scr" ] || scr="$build/src/win32/NivoraGlade.scr"

if [ -z "${NIVORA_PERF_SESSION:-}" ]; then
    export NIVORA_PERF_SESSION=1
    exec "$root/tests/e2e/display-session.sh" --screen "${size}x24" "$0" --runs "$runs" --size "$size" --scr "$scr"
fi

# ---- inside the display session
export NIVORA_SCR="$scr" NIVORA_WINE_RUN="$root/cmake/wine-run.sh" NIVORA_WINEPREFIX="$build/perf-wineprefix"
export NIVORA_WINEARCH=win32 NIVORA_PROBE="$build/tests/window_probe.exe"
export NIVORA_BOX_READER= NIVORA_E2E_OUT="$build/perf/start-up-$size"
set +eu
. "$root/tests/e2e/lib.sh"
store_settings 20 1 1 1 1 14

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
results="$NIVORA_E2E_OUT/runs.txt"
: >"$results"
for run in $(seq "$runs"); do
    start_probe "$NIVORA_E2E_OUT/probe.txt" 8
    start_saver /s
    launched=$SAVER_START
    created=$(wait_probe_event exists 60) || fail "no window"
    visible=$(wait_probe_event visible 30) || fail "no visible window"
    field=$(wait_probe_event field 30) || field=
    wait "$PROBE_PID"
    read -r longest _ < <(probe_longest 5)
    xdotool key space
    wait_saver_exit 30 || fail "a key did not end the saver"

    start_saver_key_after exists 0.3
    if wait_saver_exit 10; then
        ended=$(seconds_since "$PRESSED")
    else
        ended=lost  # still running 10 s after the key
        end_wine
    fi
    wait "$PROBE_PID"

    line=$(printf '%.3f %.3f %s %s %s' "$(echo "$created - $launched" | bc)" "$(echo "$visible - $launched" | bc)" \
        "$( [ -n "$field" ] && printf '%.3f' "$(echo "$field - $launched" | bc)" || echo none)" "$longest" "$ended")
    echo "$line" >>"$results"
    echo "run $run: window created $(cut -d' ' -f1 <<<"$line") s, shown $(cut -d' ' -f2 <<<"$line") s, field $(cut -d' ' -f3 <<<"$line") s after the launch; longest answer $longest ms; key at +0.3 s: ended after $ended s"
done
echo "medians of $runs runs at $size ($(basename "$scr")):"
echo "  launch to window created $(cut -d' ' -f1 "$results" | median) s, shown $(cut -d' ' -f2 "$results" | median) s"
echo "  launch to first field $(cut -d' ' -f3 "$results" | grep -v none | median) s"
echo "  longest answer in the first 5 s $(cut -d' ' -f4 "$results" | median) ms"
echo "  key at +0.3 s to the end $(cut -d' ' -f5 "$results" | grep -v lost | median) s; keys lost: $(grep -c 'lost$' "$results")"
