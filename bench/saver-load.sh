#!/bin/bash
# What the full-screen saver costs and how quickly it answers, under Wine on a
# 1920x1080 virtual screen (Xvfb with openbox; --size for another), with
# Time_Show 1 and both random flags (new numbers for every picture):
#   - the CPU share of the window's thread and of the whole process, during
#     the reveals and during the holds;
#   - the longest time the window took to answer a message: window_probe.exe
#     sends it WM_NULL every 50 ms from the moment it shows (the first picture
#     is made before that).
# A measurement to run by hand, not a test. From the project's folder:
#   bench/saver-load.sh [--seconds N] [--size WxH] [--scr PATH] [--out DIR]
# It installs what it needs and builds build-win32 (the 32-bit NivoraGlade.scr
# and window_probe.exe); --scr measures another NivoraGlade.scr (the 64-bit
# one too, in a 64-bit Wine prefix of its own). The raw
# figures stay in DIR (build-win32/perf by default).
#
# How it measures. Wine runs each Windows thread as a Linux thread of one
# process. The window's thread is the process's first thread (the one that
# runs WinMain and the message loop, Linux thread id = process id); the
# picture worker and the generators' row threads are the others, and the
# process's /proc/PID/stat counts them all, ended threads included. Both are
# sampled every 100 ms. The reveals and holds are told apart by Wine's own
# trace of the saver's timers (+msg: Timer1, the reveal, is started at every
# hold's end; Timer2, the hold, when a reveal completes). Tracing costs the
# process a few lines of output per second.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=20
size=1920x1080
scr=
out=
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --scr) scr=$(realpath "$2"); shift 2 ;;
        --out) out=$(realpath -m "$2"); shift 2 ;;
        *) echo "usage: $0 [--seconds N] [--size WxH] [--scr PATH] [--out DIR]" >&2; exit 2 ;;
    esac
done
build="$root/build-win32"
[ -n "$scr" ] || scr="$build/src/win32/NivoraGlade.scr"
[ -n "$out" ] || out="$build/perf"
probe="$build/tests/window_probe.exe"

if [ -z "${NIVORA_PERF_SESSION:-}" ]; then
    "$root/scripts/install-deps.sh" all
    [ -f "$build/CMakeCache.txt" ] || (cd "$root" && cmake --preset win32)
    cmake --build "$build" --parallel 2 --target NivoraGlade window_probe
    export NIVORA_PERF_SESSION=1
    exec "$root/tests/e2e/display-session.sh" --screen "${size}x24" "$0" --seconds "$seconds" --scr "$scr" --out "$out"
fi

# ---- inside the display session
mkdir -p "$out"
rm -f "$out"/samples.txt "$out"/probe.txt "$out"/timers.txt "$out"/threads.txt
# A 64-bit program (PE32+: its optional header's magic is 0x20b) needs a
# 64-bit prefix; the 32-bit probe runs in either.
pe=$(od -An -tu4 -j60 -N4 "$scr" | tr -d ' ')
magic=$(od -An -tx2 -j$((pe + 24)) -N2 "$scr" | tr -d ' ')
arch=win32
[ "$magic" = 020b ] && arch=win64
prefix="$build/perf-wineprefix"  # its own, so that the tests' prefix is left alone
[ "$arch" = win64 ] && prefix="$build/perf-wineprefix64"
export WINEPREFIX="$prefix" WINEARCH=$arch
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
key='HKCU\Software\NivoraGlade'
for value in Algorithm=20 BackgroundRands=1 Background=1 Time_Show=1 Rands_Algorithm=1 Brightness=14; do
    "$root/cmake/wine-run.sh" "$prefix" "$arch" reg add "$key" /v "${value%=*}" /t REG_DWORD /d "${value#*=}" /f >/dev/null
done

saver=
finish() {
    [ -n "$saver" ] && kill "$saver" 2>/dev/null
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
trap finish EXIT

# The 64-bit loader itself, so that $! is the saver's process: the `wine`
# launcher would start it as a process of its own.
loader=wine
[ "$arch" = win64 ] && [ -x /usr/lib/wine/wine64 ] && loader=/usr/lib/wine/wine64
WINEDEBUG=-all,+timestamp,+msg "$loader" "$scr" /s 2> >(grep --line-buffered 'NtUserSetTimer Added' >"$out/timers.txt") &
saver=$!  # wine becomes the saver's process
WINEDEBUG=-all wine "$probe" "$seconds" >"$out/probe.txt" &
probe_pid=$!

# CPU ticks (utime + stime) of the process and of its first thread, every
# 100 ms, with bash built-ins only so that the sampling costs next to nothing.
ticks() {
    local fields
    read -r -a fields <<<"${1##*) }"
    echo $((fields[11] + fields[12]))
}
pause_fifo=$(mktemp -u)
mkfifo "$pause_fifo"
exec 9<>"$pause_fifo"
rm -f "$pause_fifo"
while kill -0 "$probe_pid" 2>/dev/null; do
    read -r process_stat <"/proc/$saver/stat" 2>/dev/null || break
    read -r thread_stat <"/proc/$saver/task/$saver/stat" 2>/dev/null || break
    echo "$EPOCHREALTIME $(ticks "$process_stat") $(ticks "$thread_stat")" >>"$out/samples.txt"
    read -r -t 0.1 -u 9 _ || true
done
for task in /proc/"$saver"/task/*; do
    read -r stat <"$task/stat" || continue
    echo "${task##*/} $(ticks "$stat")" >>"$out/threads.txt"
done
wait "$probe_pid" || { cat "$out/probe.txt"; echo "the probe failed" >&2; exit 1; }
kill "$saver" 2>/dev/null || true
wait "$saver" 2>/dev/null || true
saver=

grep -q '^visible' "$out/probe.txt" || { echo "the saver's window never showed" >&2; exit 1; }

awk -v hz="$(getconf CLK_TCK)" -v hold=1 -f "$root/bench/saver-load.awk" \
    "$out/probe.txt" "$out/timers.txt" "$out/samples.txt" | tee "$out/summary.txt"
echo "threads at the end (Linux id, CPU ticks of $(getconf CLK_TCK) a second; the first is the window's):"
cat "$out/threads.txt"
