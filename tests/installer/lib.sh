# shellcheck shell=bash
# Shared by the tests of NivoraGladeSetup.exe under Wine. Each test runs inside
# tests/e2e/display-session.sh with a fresh prefix of its own, and uses the
# end-to-end tests' helpers (tests/e2e/lib.sh). CTest passes, besides theirs:
#   NIVORA_SETUP         NivoraGladeSetup.exe
#   NIVORA_SCR_EXPECTED  the NivoraGlade.scr that belongs on this prefix's Windows
#   NIVORA_SCR32         the 32-bit NivoraGlade.scr, which 64-bit Windows gets
#                        in SysWOW64 too
#   NIVORA_WINE32        Wine's 32-bit loader
#   NIVORA_VERSION       the project's version
#   NIVORA_WINE_NATIVE   the loader for the prefix's own programs. In a 64-bit
#                        prefix that is wine64: a program started by the 32-bit
#                        loader sees System32 redirected to SysWOW64, as a
#                        32-bit program on Windows does.
# shellcheck source=../e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
ENTRY="$UNINSTALL_KEY\\NivoraGlade"
DESKTOP='HKCU\Control Panel\Desktop'
SETTINGS='HKCU\Software\NivoraGlade'
SYSTEM32="$NIVORA_WINEPREFIX/drive_c/windows/system32"
INSTALLED="$SYSTEM32/NivoraGlade.scr"
INSTALLED32="$NIVORA_WINEPREFIX/drive_c/windows/syswow64/NivoraGlade.scr"

# Each call of the prefix's own programs is logged with its error output and
# exit code; a failure's report ends with the last of them.
CALLS="$NIVORA_E2E_OUT/calls.log"
: >"$CALLS"
native() {
    local status=0
    echo "$(date +%T.%N) $*" >>"$CALLS"
    "$NIVORA_WINE_NATIVE" "$@" 2>>"$CALLS" || status=$?
    echo "  exit $status" >>"$CALLS"
    return "$status"
}

fail() {
    echo "FAIL: $*" >&2
    echo "The last calls in the prefix:" >&2
    tail -n 24 "$CALLS" >&2
    exit 1
}

# The same through Wine's 32-bit loader: in a 64-bit prefix such a program
# sees SysWOW64 where it asks for System32.
wow64() { NIVORA_WINE_NATIVE=$NIVORA_WINE32 native "$@"; }

# Registry reads and writes go through the prefix's own reg. Its error text
# goes to the log, so a failed write is always tried three times.
REG_RUNNER=native

fresh_prefix() {
    rm -rf "$NIVORA_WINEPREFIX"
    WINEARCH=$NIVORA_WINEARCH wineboot --init >/dev/null 2>&1 || fail "wineboot --init"
    wineserver -w
}

# A passed test's prefix goes (over a gigabyte each); a failed one's stays to look into.
remove_prefix() {
    end_wine
    rm -rf "$NIVORA_WINEPREFIX"
}

# The data of value $2 under key $1; status 1 when there is no such value.
reg_get() {
    reg_query "$1" /v "$2" | tr -d '\r' |
        awk -F '    ' -v name="$2" '$2 == name { print $4; found = 1 } END { exit !found }'
}

reg_set() { reg_change add "$1" /v "$2" /t "${4:-REG_SZ}" /d "$3" /f || fail "reg add $1 $2"; }

# Every value under a key, for comparing before and after.
reg_dump() { reg_query "$1" | tr -d '\r' | sort; }

# Asserts value $2 of key $1 is $3, or absent when $3 is "-".
expect_value() {
    local actual
    if actual=$(reg_get "$1" "$2"); then
        [ "$3" != - ] || fail "$1 $2 should be absent, is '$actual'"
        [ "$actual" = "$3" ] || fail "$1 $2 is '$actual', expected '$3'"
    else
        [ "$3" = - ] || fail "$1 $2 is absent, expected '$3'"
    fi
}

# "x86" or "x64" from a program's PE header.
pe_machine() {
    local offset
    offset=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
    case $(od -An -tx2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ') in
        014c) echo x86 ;;
        8664) echo x64 ;;
        *) echo unknown ;;
    esac
}

run_setup() {
    local status=0
    wine_run "$NIVORA_SETUP" /S || status=$?
    [ "$status" = 0 ] || fail "NivoraGladeSetup.exe /S: exit code $status"
}

# The uninstall entries named Nivora Glade, in the system's own registry view.
entries() {
    reg_query "$UNINSTALL_KEY" /s | tr -d '\r' | grep -c '^    DisplayName    REG_SZ    Nivora Glade$'
}

# What an installation leaves: the right program in the system folder (and
# on 64-bit Windows the 32-bit one in SysWOW64), chosen as the saver by its
# short path, and one uninstall entry of this version.
check_installed() {
    local want_machine=x86 value folder name kb programs_kb
    [ "$NIVORA_WINEARCH" = win64 ] && want_machine=x64
    [ -f "$INSTALLED" ] || fail "no NivoraGlade.scr in System32"
    cmp -s "$INSTALLED" "$NIVORA_SCR_EXPECTED" || fail "System32's NivoraGlade.scr is not the one built"
    [ "$(pe_machine "$INSTALLED")" = "$want_machine" ] || fail "installed program is $(pe_machine "$INSTALLED")"
    programs_kb=$(( $(stat -c %s "$INSTALLED") / 1024 ))
    if [ "$NIVORA_WINEARCH" = win64 ]; then
        [ -f "$INSTALLED32" ] || fail "no NivoraGlade.scr in SysWOW64"
        cmp -s "$INSTALLED32" "$NIVORA_SCR32" || fail "SysWOW64's NivoraGlade.scr is not the 32-bit one built"
        programs_kb=$(( programs_kb + $(stat -c %s "$INSTALLED32") / 1024 ))
    fi

    value=$(reg_get "$DESKTOP" SCRNSAVE.EXE) || fail "no SCRNSAVE.EXE"
    folder=${value%\\*}
    name=${value##*\\}
    [ "${folder,,}" = 'c:\windows\system32' ] || fail "SCRNSAVE.EXE '$value' is not in System32"
    [[ $name =~ ^[^.\ ]{1,8}(\.[^.\ ]{1,3})?$ ]] || fail "SCRNSAVE.EXE '$value' is not a short path"
    # The system folder's own cmd resolves the short name as the system would.
    [ "$(native cmd /c dir /b "$value" | tr -d '\r')" = NivoraGlade.scr ] ||
        fail "SCRNSAVE.EXE '$value' does not name NivoraGlade.scr"
    expect_value "$DESKTOP" ScreenSaveActive 1
    note "SCRNSAVE.EXE $value"

    [ "$(entries)" = 1 ] || fail "$(entries) uninstall entries named Nivora Glade"
    if [ "$NIVORA_WINEARCH" = win64 ]; then
        ! native reg query "$ENTRY" /reg:32 >/dev/null 2>&1 || fail "an uninstall entry in the 32-bit view"
    fi
    expect_value "$ENTRY" DisplayName "Nivora Glade"
    expect_value "$ENTRY" DisplayVersion "$NIVORA_VERSION"
    expect_value "$ENTRY" Publisher "Nivora Glade"
    UNINSTALLER=$(reg_get "$ENTRY" UninstallString | tr -d '"')
    [ -f "$(native winepath -u "$UNINSTALLER")" ] || fail "no uninstaller at '$UNINSTALLER'"
    cmp -s "$(dirname "$(native winepath -u "$UNINSTALLER")")/LICENSE.txt" "$NIVORA_LICENCE" ||
        fail "no LICENSE.txt with the project's licence beside the uninstaller"
    [ -f "$(native winepath -u "$(reg_get "$ENTRY" DisplayIcon | sed 's/,[0-9-]*$//')")" ] || fail "no DisplayIcon file"
    kb=$(( $(reg_get "$ENTRY" EstimatedSize) ))
    [ "$kb" -ge "$programs_kb" ] || fail "EstimatedSize $kb KB is less than the programs' $programs_kb KB"
    note "uninstall entry: version $NIVORA_VERSION, $kb KB, $UNINSTALLER"
}

# Starts the saver as the system would, from SCRNSAVE.EXE with /s: it must
# cover the screen and paint, and a key must end it. Given a command ($@, such
# as wow64 cmd /c), that command starts it. SAVER_LOADER is then the Wine
# loader of the process that made the window: wine64 (or wine64-preloader)
# for a 64-bit program, wine (or wine-preloader) for a 32-bit one.
check_saver_runs() {
    local value window deadline count pid
    value=$(reg_get "$DESKTOP" SCRNSAVE.EXE)
    SAVER_START=$(now)
    "${@:-native}" "$value" /s 2>"$NIVORA_E2E_OUT/saver.log" &
    SAVER_PID=$!
    window=$(wait_window 'Nivora Glade' 30) || {
        xdotool search --name '' 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done | sort | uniq -c
        saver_running && echo "saver running"
        fail "the installed saver made no window"
    }
    [ "$(window_geometry "$window")" = "0 0 1280 720" ] || fail "saver window $(window_geometry "$window")"
    deadline=$(echo "$(now) + 15" | bc)
    while :; do
        screenshot "$NIVORA_E2E_OUT/saver.png"
        count=$(colours "$NIVORA_E2E_OUT/saver.png" 1280x720+0+0)
        [ "$count" -gt 100 ] && break
        less_than "$(now)" "$deadline" || fail "the saver painted only $count colours in 15 s"
        sleep 0.5
    done
    pid=$(xprop -id "$window" _NET_WM_PID | awk '{ print $NF }')
    SAVER_LOADER=$(basename "$(readlink "/proc/$pid/exe")")
    note "installed saver ($SAVER_LOADER): full-screen window, $count colours after $(seconds_since "$SAVER_START") s"
    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool key space
    wait_saver_exit 5000 || fail "a key press did not end the installed saver"
    [ "$SAVER_STATUS" = 0 ] || fail "installed saver: exit code $SAVER_STATUS"
    # What started the saver need not wait for it.
    wait_window_gone "$window" 5 || fail "the saver's window stayed after a key press"
}

# Runs the uninstaller silently. It copies itself to the temporary folder and
# runs from there, so the process that was started ends at once: wait for the
# entry, which it removes last.
run_uninstaller() {
    local deadline
    wine_run "$UNINSTALLER" /S || fail "uninstaller /S: exit code $?"
    deadline=$(echo "$(now) + 30" | bc)
    while native reg query "$ENTRY" >/dev/null 2>&1; do
        less_than "$(now)" "$deadline" || fail "the uninstall entry is still there after 30 s"
        sleep 0.2
    done
    wineserver -w
}

check_uninstalled() {
    [ ! -e "$INSTALLED" ] || fail "NivoraGlade.scr is still in System32"
    [ ! -e "$INSTALLED32" ] || fail "NivoraGlade.scr is still in SysWOW64"
    [ ! -e "$(native winepath -u "$UNINSTALLER")" ] || fail "the uninstaller is still there"
    [ ! -e "$(dirname "$(native winepath -u "$UNINSTALLER")")" ] || fail "the program files folder is still there"
    [ "$(entries)" = 0 ] || fail "an uninstall entry is left"
}
