#!/bin/bash
# Measures the Wayland saver at 1920x1080 under a headless sway (run as a
# user made for it when started as root, as the tests do):
#   - the CPU time of the drawing thread over the first picture's reveal, as
#     a share of one core (target: at most 5 %);
#   - its CPU time over two seconds of the hold (target: about nothing);
#   - the longest gap between two steps of the cycle at the change to the
#     second picture (target: at most 50 ms);
#   - the commits: how many a second over the reveal, none during the hold.
# The numbers come from the saver's --tick-log (bench/tick-log.awk, shared
# with measure-x11.sh) and /proc. With --check it fails over the targets.
#   bench/measure-wayland.sh [--check] [BUILD_DIR]     (default: build)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = --check ]; then check=1; shift; fi
build=$(cd "${1:-$root/build}" && pwd)
export NIVORA_SAVER=$build/src/nivoraglade/nivoraglade NIVORA_RENDER=$build/src/tools/nivora-render
export NIVORA_POINTER=$build/tests/wayland/wayland_pointer NIVORA_OUT=${NIVORA_MEASURE_OUT:-$build/measure-wayland}
. "$root/tests/wayland/lib.sh"
set +e

SWAY_OUTPUTS=1 start_sway "output HEADLESS-1 mode 1920x1080"
start_saver --seed 11 --time-show 3 --tick-log "$LOG"
wait_log "$LOG" '^hold ' 60
thread_cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/task/$1/stat"; }
before=$(thread_cpu_ms "$SAVER_PID")
sleep 2
hold_cpu=$(($(thread_cpu_ms "$SAVER_PID") - before))
# Until the second picture has shown for a second.
for _ in $(seq 600); do
    awk '/^picture/ { n++ } n >= 2 && /^tick/ { t++ } END { exit !(t >= 100) }' "$LOG" && break
    saver_running || fail "the saver ended"
    sleep 0.1
done
signal_ends_saver TERM 1000 >/dev/null

echo "sway, 1920x1080: $(grep -c '^tick' "$LOG") ticks logged"
echo "hold: $hold_cpu ms CPU of the drawing thread in 2 s"
awk -v check=$check -f "$root/bench/tick-log.awk" "$LOG" || exit 1
if [ $check = 1 ] && [ "$hold_cpu" -gt 20 ]; then
    echo "FAIL: the drawing thread worked during the hold"
    exit 1
fi
