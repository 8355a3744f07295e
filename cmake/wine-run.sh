#!/bin/sh
# Runs a Windows program under Wine in a prefix of its own.
#   wine-run.sh PREFIX ARCH PROGRAM [ARGUMENTS...]
# With WINE_END_SESSION=1 the prefix's wineserver is stopped afterwards.
# The prefix is made on first use (wineboot --init, then wineserver -w), under a
# lock so that tests started in parallel do not make it twice.
set -e
prefix=$(realpath -m "$1")
arch=$2
shift 2

export WINEPREFIX="$prefix"
export WINEARCH="$arch"
export WINEDEBUG=-all
# No Mono or Gecko installers; and no debugger, so that a crash ends the
# program with its exception code instead of a debugger's exit code 0.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            wineboot --init >/dev/null 2>&1
            wineserver -w
        fi
    ) 9>"$prefix.lock"
fi

if [ "${WINE_END_SESSION:-0}" = 1 ]; then
    # The caller's display goes away after this program: stop the prefix's
    # wineserver (and its desktop process) so that the next run starts afresh.
    status=0
    wine "$@" || status=$?
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    exit "$status"
fi
exec wine "$@"
