#!/bin/bash
# A new user's key with Algorithm stored as the string "5" and Background 7,
# Time_Show 12, Brightness 9 and both random flags 0: the box names Algorithm,
# and after it is dismissed the saver runs while the key is byte for byte what
# it was (start-up after a failed read writes nothing).
. "$(dirname "$0")/lib.sh"

delete_key
reg_change add "$KEY" /v Algorithm /t REG_SZ /d 5 /f || fail "reg add Algorithm"
set_dword BackgroundRands 0
set_dword Background 7
set_dword Time_Show 12
set_dword Rands_Algorithm 0
set_dword Brightness 9
export_key() {
    rm -f "$1"
    reg_change export "$KEY" "$(winepath -w "$1" 2>/dev/null)" || fail "reg export"
    [ -s "$1" ] || fail "reg export wrote nothing"
}
before="$NIVORA_E2E_OUT/before.reg"
after="$NIVORA_E2E_OUT/after.reg"
export_key "$before"

start_saver /s
box=$(wait_box 30) || fail "no message box"
text=$(box_text)
note "text: $text"
[ "$text" = "Invalid data type for 'Algorithm'" ] || fail "box text '$text'"

dismiss_box "$box"
window=$(wait_window 'Nivora Glade' 30) || fail "no saver window after the box"
sleep 1
saver_running || fail "the saver ended after the box"
export_key "$after"
note "key before: $(tr -d '\0\r' < "$before" | grep -c =) values; after: $(tr -d '\0\r' < "$after" | grep -c =)"
cmp "$before" "$after" || fail "the key changed: $(diff <(tr -d '\0\r' < "$before") <(tr -d '\0\r' < "$after"))"

activate "$window"
xdotool key space
wait_saver_exit 5000 || fail "a key press did not end the saver; $(keyboard_owner) had the keyboard"
[ "$SAVER_STATUS" = 0 ] || fail "exit code $SAVER_STATUS"
note "pass"
