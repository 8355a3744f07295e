#!/bin/bash
# 32-bit Windows: with no saver chosen before, NivoraGladeSetup.exe /S installs
# the 32-bit program and the installed saver runs (writing its first settings);
# the silent uninstaller leaves no SCRNSAVE.EXE and keeps the settings. A saver
# the user chose after installing stays chosen when uninstalling.
. "$(dirname "$0")/lib.sh"

fresh_prefix
reg_get "$DESKTOP" SCRNSAVE.EXE >/dev/null && fail "a fresh prefix has a SCRNSAVE.EXE"
active=$(reg_get "$DESKTOP" ScreenSaveActive || echo -)

run_setup
check_installed
check_saver_runs
settings=$(reg_dump "$SETTINGS")
[ -n "$settings" ] || fail "the saver's first run wrote no settings"

run_uninstaller
check_uninstalled
expect_value "$DESKTOP" SCRNSAVE.EXE -
expect_value "$DESKTOP" ScreenSaveActive "$active"
[ "$(reg_dump "$SETTINGS")" = "$settings" ] || fail "the uninstaller changed the settings"
note "uninstalled: no SCRNSAVE.EXE, as before; the settings kept"

run_setup
check_installed
reg_set "$DESKTOP" SCRNSAVE.EXE 'C:\windows\system32\Chosen.scr'
run_uninstaller
check_uninstalled
expect_value "$DESKTOP" SCRNSAVE.EXE 'C:\windows\system32\Chosen.scr'
note "a saver chosen after installing stays chosen"
remove_prefix
note "pass"
