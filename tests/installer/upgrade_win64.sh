#!/bin/bash
# 64-bit Windows: NivoraGladeSetup.exe /S in a fresh prefix where another saver
# is chosen installs the 64-bit program into System32 and the 32-bit one into
# SysWOW64, and makes it the saver; the installed saver runs, the 64-bit one
# when started by a 64-bit program and the 32-bit one when a 32-bit program
# starts the same SCRNSAVE.EXE path; setup over an older installation replaces
# the programs and keeps one entry; the silent uninstaller removes it all and
# gives the earlier saver back, and leaves the user's settings alone.
. "$(dirname "$0")/lib.sh"

fresh_prefix
reg_set "$DESKTOP" SCRNSAVE.EXE 'C:\windows\system32\Earlier.scr'
reg_set "$DESKTOP" ScreenSaveActive 0
# All six settings, not the defaults (a key with some missing is reported as damaged).
for setting in Algorithm:7 BackgroundRands:0 Background:3 Time_Show:9 Rands_Algorithm:0 Brightness:12; do
    reg_set "$SETTINGS" "${setting%:*}" "${setting#*:}" REG_DWORD
done
settings=$(reg_dump "$SETTINGS")

run_setup
check_installed
[ "$(reg_dump "$SETTINGS")" = "$settings" ] || fail "setup changed the settings"
check_saver_runs
[[ $SAVER_LOADER == *64* ]] || fail "the 64-bit program's saver ran in $SAVER_LOADER"
check_saver_runs wow64 cmd /c
[[ $SAVER_LOADER != *64* ]] || fail "a 32-bit cmd started the saver in $SAVER_LOADER"

# An older version in place: its programs and its entry's version.
echo "an older NivoraGlade.scr" >"$INSTALLED"
echo "an older 32-bit NivoraGlade.scr" >"$INSTALLED32"
reg_set "$ENTRY" DisplayVersion 0.9.0
run_setup
check_installed
note "upgrade: both programs replaced, one entry of version $NIVORA_VERSION"

run_uninstaller
check_uninstalled
expect_value "$DESKTOP" SCRNSAVE.EXE 'C:\windows\system32\Earlier.scr'
expect_value "$DESKTOP" ScreenSaveActive 0
[ "$(reg_dump "$SETTINGS")" = "$settings" ] || fail "the uninstaller changed the settings"
note "uninstalled: the earlier saver is back, the settings kept"
remove_prefix
note "pass"
