#!/bin/bash
# Measures the X11 saver at 1920x1080 on a virtual screen (Xvfb, MIT-SHM):
#   - the CPU time of the drawing thread (the one that runs the cycle and
#     talks to the X server; the worker that prepares pictures is not counted)
#     over the first picture's reveal, as a share of one core;
#   - the longest gap between two steps of the cycle at the change to the
#     second picture (from the hold's end through the new picture's first
#     second of reveal), and the longest single step there.
# Both come from the saver's --tick-log (wall clock and the thread's CPU
# clock at each step). With --check it fails unless the share is at most 5 %
# and the gap at most 50 ms.
#   bench/measure-x11.sh [--check] [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = --check ]; then check=1; shift; fi
build=$(cd "${1:-$root/build}" && pwd)

if [ -z "${NIVORA_MEASURE_INSIDE:-}" ]; then
    export NIVORA_MEASURE_INSIDE=1
    exec "$root/tests/e2e/display-session.sh" --no-wm --screen 1920x1080x24 "$0" "$@" \
        $([ $check = 1 ] && echo --check) "$build"
fi

saver=$build/src/nivoraglade/nivoraglade
helper=$build/tests/x11/x11_test_window
log=${NIVORA_MEASURE_LOG:-$(mktemp)}  # NIVORA_MEASURE_LOG keeps the tick log
fifo=$(mktemp -u)
mkfifo "$fifo"
"$helper" 1920x1080 >"$fifo" &
helper_pid=$!
read -r window <"$fifo"
rm -f "$fifo"
saver_pid=
trap '[ -n "$saver_pid" ] && kill $saver_pid 2>/dev/null; kill $helper_pid 2>/dev/null; [ -n "${NIVORA_MEASURE_LOG:-}" ] || rm -f "$log"' EXIT

"$saver" --window-id "$window" --seed 11 --time-show 1 --tick-log "$log" &
saver_pid=$!
# Until the second picture has shown for a second (first picture, a reveal
# of about 5.4 s, a hold of 1 s).
for _ in $(seq 600); do
    awk '/^picture/ { n++ } n >= 2 && /^tick/ { t++ } END { exit !(t >= 100) }' "$log" 2>/dev/null && break
    kill -0 $saver_pid || { echo "the saver ended"; exit 1; }
    sleep 0.1
done
kill -TERM $saver_pid
wait $saver_pid
saver_pid=

echo "X server: $(xdpyinfo | grep -c MIT-SHM) MIT-SHM; $(grep -c '^tick' "$log") ticks logged"
awk -v check=$check -f "$root/bench/tick-log.awk" "$log"
