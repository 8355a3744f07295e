#!/bin/bash
# The preview host (/p): in a pane of another process as the display settings
# make it (size, class and style of the child, input ignored, the end when the
# pane goes), panes of odd sizes, handles that name no window or one no
# preview can live in (the desktop, a message-only window), the popup with
# no pane (a click or a key ends it, the mouse moving does not) and its
# password check through a stand-in PASSWORD.CPL, asked by keys and clicks
# alike (a ScreenSaveUsePassword stored as text is the number it writes),
# and the picture itself, in the popup and in a pane of the host's own
# process.
. "$(dirname "$0")/lib.sh"

DESKTOP='HKCU\Control Panel\Desktop'
TESTKEY='HKCU\Software\NivoraGladeTest'
work=$(mktemp -d)
end_preview() {
    reg_change delete "$DESKTOP" /v ScreenSaveUsePassword /f
    reg_change delete "$TESTKEY" /f
    end_wine
    rm -rf "$work"
}
trap end_preview EXIT

# Runs the pane host; its output goes to $work/$1.txt.
pane_host() {
    local name=$1
    shift
    (cd "$work" && wine_run "$NIVORA_PANE_HOST" "$@" | tr -d '\r' >"$work/$name.txt")
}

# Pixels within 6 % of white in a region WxH+X+Y.
whitish_pixels() {
    convert "$1" -crop "$2" +repage -fuzz 6% -fill white -opaque white -fill black +opaque white \
        -format '%[fx:round(mean*w*h)]' info:
}

# Waits up to $6 seconds for a picture of width x height at X,Y on the
# screen: coloured, and light in its centred square. Screenshots go to $1.
# Some snowflakes have little white until most rows are revealed, so the
# screen is looked at again until one shows enough.
wait_picture() {
    local shot=$1 x=$2 y=$3 width=$4 height=$5 left inside outside deadline
    left=$(( (width - height) / 2 ))
    deadline=$(echo "$(now) + $6" | bc)
    while :; do
        screenshot "$shot"
        inside=$(whitish_pixels "$shot" "${height}x$height+$((x + left))+$y")
        outside=$(whitish_pixels "$shot" "${left}x$height+$x+$y")
        if [ "$inside" -gt 200 ] && [ "$inside" -gt $((4 * outside)) ]; then
            [ "$(colours "$shot" "${width}x$height+$x+$y")" -gt 100 ] || fail "no coloured background in $shot"
            note "$shot: $inside near-white pixels in the square, $outside left of it"
            return 0
        fi
        less_than "$(now)" "$deadline" || fail "no snowflake in $shot: $inside near-white pixels in the square, $outside left of it"
        sleep 0.5
    done
}

# The popup keeps no title; it is the program's visible window of 640 x 360.
wait_popup() {
    local deadline id
    deadline=$(echo "$(now) + 30" | bc)
    while less_than "$(now)" "$deadline"; do
        for id in $(xdotool search --onlyvisible --class 'nivoraglade' 2>/dev/null); do
            [ "$(window_geometry "$id" | cut -d' ' -f3,4)" = "640 360" ] && { echo "$id"; return 0; }
        done
        sleep 0.2
    done
    return 1
}

delete_key
reg_change delete "$DESKTOP" /v ScreenSaveUsePassword /f

# A 152 x 112 pane; mouse clicks and keys on it while it runs.
(sleep 2.5
 host=$(xdotool search --name '^Pane Host$' | head -n 1)
 xdotool windowactivate --sync "$host" 2>/dev/null
 read -r hx hy _ _ < <(window_geometry "$host")
 xdotool mousemove $((hx + 60)) $((hy + 60)) click 1 key space key Escape mousemove $((hx + 100)) $((hy + 90)) click 3
) &
pane_host pane152 "$NIVORA_SCR" 152 112 5
wait
cat "$work/pane152.txt"
grep -q '^child NivoraGladePreview 152x112 style ' "$work/pane152.txt" || fail "no host window of 152 x 112 in the pane"
style=$(awk '/^child NivoraGladePreview/ { print $5 }' "$work/pane152.txt")
[ $(( style & 0x58000000 )) = $(( 0x58000000 )) ] && [ $(( style & 0x80000000 )) = 0 ] ||
    fail "host style $style is not a visible, disabled child"
grep -qx alive "$work/pane152.txt" || fail "input on the pane ended the preview"
longest=$(awk '/^longest answer/ { print $3 }' "$work/pane152.txt")
[ "$longest" -ge 0 ] && [ "$longest" -lt 100 ] || fail "the host window took $longest ms to answer"
read -r code ms < <(awk '/^exit/ { print $2, $4 }' "$work/pane152.txt")
[ "$code" = 0 ] || fail "exit code $code after the pane went"
[ "$ms" -lt 500 ] || fail "the preview took $ms ms to end after the pane went"

# Taller than wide, and larger than the classic planes.
for size in "100 200" "2400 1300"; do
    # shellcheck disable=SC2086
    pane_host pane "$NIVORA_SCR" $size 5
    grep -qx alive "$work/pane.txt" || fail "the preview in a ${size/ /x} pane did not run 5 s: $(cat "$work/pane.txt")"
    read -r code ms < <(awk '/^exit/ { print $2, $4 }' "$work/pane.txt")
    note "${size/ /x} pane: exit $code after $ms ms, $(grep '^longest' "$work/pane.txt")"
    [ "$code" = 0 ] || fail "exit code $code for a ${size/ /x} pane"
done

# A handle that names no window: gone at once, exit code 0.
start_saver /p 12345
wait_saver_exit 5000 || fail "/p 12345 still runs"
note "/p 12345: ended after $(seconds_since "$SAVER_START") s, exit code $SAVER_STATUS"
[ "$SAVER_STATUS" = 0 ] || fail "/p 12345 exit code $SAVER_STATUS"

# Nor does a window a preview cannot live in: the desktop window, whose child
# would cover the screen and take no input (its handle in decimal and in
# hexadecimal), and a message-only window.
desktop=$(wine_run "$NIVORA_PANE_HOST" --desktop | tr -d '\r')
[ -n "$desktop" ] || fail "no desktop window handle"
for handle in "$desktop" "$(printf '0x%x' "$desktop")"; do
    start_saver /p "$handle"
    wait_saver_exit 5000 || fail "/p $handle (the desktop window) still runs"
    note "/p $handle (the desktop window): ended after $(seconds_since "$SAVER_START") s, exit code $SAVER_STATUS"
    [ "$SAVER_STATUS" = 0 ] || fail "/p $handle exit code $SAVER_STATUS"
done
pane_host message-only --message-only "$NIVORA_SCR" 5
note "a message-only pane: $(cat "$work/message-only.txt")"
grep -q '^exit 0 after' "$work/message-only.txt" || fail "a message-only pane: $(cat "$work/message-only.txt")"

# No pane (not a number): the top-most popup, a quarter of the screen, centred.
# Without a password in use the mouse moving over it leaves it, a click ends it.
start_saver /p junk
popup=$(wait_popup) || fail "/p junk shows no popup"
read -r px py pw ph < <(window_geometry "$popup")
note "popup at $px,$py size ${pw}x$ph"
[ "$px $py $pw $ph" = "320 180 640 360" ] || fail "popup geometry $px,$py ${pw}x$ph"
wait_picture "$NIVORA_E2E_OUT/popup.png" "$px" "$py" "$pw" "$ph" 12
xdotool mousemove $((px + 100)) $((py + 100)) sleep 0.2 mousemove $((px + 500)) $((py + 300)) sleep 0.2 \
    mousemove $((px + 20)) $((py + 340))
sleep 1
saver_running || fail "the mouse moving over the popup ended it"
xdotool mousemove $((px + 300)) $((py + 200)) click 1
wait_saver_exit 3000 || fail "a click did not end the popup without a password"
[ "$SAVER_STATUS" = 0 ] || fail "popup exit code $SAVER_STATUS"

# With a password in use, the stand-in module beside the program decides.
cp "$NIVORA_SCR" "$NIVORA_PASSWORD_MODULE" "$work/"
reg_change add "$DESKTOP" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
reg_change add "$TESTKEY" /v PasswordAnswer /t REG_DWORD /d 0 /f
test_value() { reg_query "$TESTKEY" /v "$1" | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }
# The popup of a copy of the program beside the module; sets popup.
start_popup_beside_module() {
    SAVER_START=$(now)
    (cd "$work" && exec "$NIVORA_WINE_RUN" "$NIVORA_WINEPREFIX" "$NIVORA_WINEARCH" "$work/$(basename "$NIVORA_SCR")" /p 0) &
    SAVER_PID=$!
    popup=$(wait_popup) || fail "no popup for the password check $1"
}
start_popup_beside_module "(a number)"
read -r px py _ _ < <(window_geometry "$popup")
sleep 1
# A key, a left click and a middle click each ask once; the mouse moving asks nothing.
press=0
for input in "key space" "click 1" "mousemove $((px + 400)) $((py + 250))" "click 2"; do
    [ "${input%% *}" = mousemove ] || press=$((press + 1))
    xdotool windowactivate --sync "$popup" 2>/dev/null
    # shellcheck disable=SC2086
    xdotool mousemove $((px + 300)) $((py + 200)) $input
    sleep 1.5
    saver_running || fail "$input with a refused password ended the popup"
    [ "$(test_value PasswordCalls)" = "0x$press" ] ||
        fail "after $input the module was called $(test_value PasswordCalls) times, not $press"
done
[ "$(test_value PasswordWindowClass)" = NivoraGladePreview ] ||
    fail "the module was given a window of class $(test_value PasswordWindowClass)"
reg_change add "$TESTKEY" /v PasswordAnswer /t REG_DWORD /d 1 /f
xdotool mousemove $((px + 300)) $((py + 200)) click 3
wait_saver_exit 3000 || fail "a right click with an accepted password did not end the popup"
[ "$(test_value PasswordCalls)" = "0x$((press + 1))" ] || fail "the accepted end made $(test_value PasswordCalls) calls"
note "password: refused for a key and two clicks, not asked for a move, accepted for a click; exit code $SAVER_STATUS"

# The flag stored as text, read at each key: "1" asks the module as the
# number would, "0" is no password and the key ends the popup unasked.
reg_change add "$DESKTOP" /v ScreenSaveUsePassword /t REG_SZ /d 1 /f
reg_change add "$TESTKEY" /v PasswordAnswer /t REG_DWORD /d 0 /f
calls=$(test_value PasswordCalls)
start_popup_beside_module '(text "1", then "0")'
sleep 1
xdotool windowactivate --sync "$popup" 2>/dev/null
xdotool key space
sleep 1.5
saver_running || fail 'a key ended the popup with ScreenSaveUsePassword "1" and a refused password'
[ "$(test_value PasswordCalls)" = "0x$((calls + 1))" ] || fail 'text "1": the module was not asked once'
reg_change add "$DESKTOP" /v ScreenSaveUsePassword /t REG_SZ /d 0 /f
xdotool windowactivate --sync "$popup" 2>/dev/null
xdotool key space
wait_saver_exit 3000 || fail 'with ScreenSaveUsePassword "0" a key did not end the popup'
[ "$SAVER_STATUS" = 0 ] || fail "text \"0\": exit code $SAVER_STATUS"
[ "$(test_value PasswordCalls)" = "0x$((calls + 1))" ] || fail 'text "0": the module was asked'
note 'password flag as text: "1" asked the module, "0" ended the popup unasked; exit code 0'

# Password in use but no module where the program looks: a key ends it.
rm "$work/PASSWORD.CPL"
reg_change add "$DESKTOP" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
start_popup_beside_module "(no module)"
sleep 1
xdotool windowactivate --sync "$popup" 2>/dev/null
xdotool key space
wait_saver_exit 3000 || fail "without the module a key did not end the popup"

# The pane's picture, drawn by the host code in the pane host's own process.
pane_host inprocess --in-process 300 200 9 &
inprocess=$!
host=$(wait_window 'Pane Host' 30) || fail "no in-process pane host"
read -r hx hy _ _ < <(window_geometry "$host")
wait_picture "$NIVORA_E2E_OUT/pane.png" $((hx + 20)) $((hy + 20)) 300 200 7
wait "$inprocess"
grep -q '^child NivoraGladePreview 300x200' "$work/inprocess.txt" || fail "in-process: $(cat "$work/inprocess.txt")"
note "pass"
