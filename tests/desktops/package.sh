#!/bin/bash
# What the package carries for the desktops, from cpack's .deb of this build
# (made in a folder of its own): /usr/bin/nivoraglade, a relative link to the
# daemon's copy (so the README's `swayidle ... 'nivoraglade'` finds it); the
# entry MATE-style daemons list (Exec of that copy with --root, Screensaver
# category) and the entry named after the Wayland windows' app id, both
# valid to desktop-file-validate; the hicolor icon, nivora-render's picture.
#   package.sh BUILD NIVORA-RENDER
set -u
build=$1 render=$2
# shellcheck source=../lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || fail "cpack: $(tail -5 "$work/cpack.log")"
deb=$(ls "$work"/nivoraglade_*.deb) || fail "no package"
dpkg-deb -x "$deb" "$work/root"
root=$work/root

link=$(readlink "$root/usr/bin/nivoraglade") || fail "no link /usr/bin/nivoraglade"
[ "$link" = ../libexec/xscreensaver/nivoraglade ] || fail "/usr/bin/nivoraglade points to $link"
[ -x "$root/usr/bin/$link" ] && [ ! -L "$root/usr/bin/$link" ] || fail "/usr/bin/nivoraglade leads to no program"
"$root/usr/bin/nivoraglade" --help | grep -q -- --idle || fail "/usr/bin/nivoraglade --help"
echo "-- /usr/bin/nivoraglade -> $link, which runs"

saver=$root/usr/share/applications/screensavers/nivoraglade.desktop
app=$root/usr/share/applications/nivoraglade.desktop
for f in "$saver" "$app"; do
    [ -f "$f" ] || fail "no ${f#"$root"}"
    desktop-file-validate "$f" || fail "desktop-file-validate ${f#"$root"}"
done
key() { sed -n "s/^$2=//p" "$1"; }
[ "$(key "$saver" Exec)" = "/usr/libexec/xscreensaver/nivoraglade --root" ] || fail "Exec: $(key "$saver" Exec)"
[ "$(key "$saver" Categories)" = "Screensaver;" ] || fail "Categories: $(key "$saver" Categories)"
[ "$(key "$saver" OnlyShowIn)" = "MATE;" ] || fail "OnlyShowIn: $(key "$saver" OnlyShowIn)"
[ "$(key "$app" NoDisplay)" = true ] || fail "the app's entry is shown in menus"
[ "$(key "$app" Icon)" = nivoraglade ] || fail "Icon: $(key "$app" Icon)"
# The app id the Wayland windows carry, in the program itself.
grep -aq 'nivoraglade' "$root/usr/libexec/xscreensaver/nivoraglade" || fail "no app id in the program"
echo "-- both .desktop files valid; the saver's entry runs the daemon's copy with --root"

icon=$root/usr/share/icons/hicolor/256x256/apps/nivoraglade.png
[ -f "$icon" ] || fail "no hicolor icon"
"$render" --size 256x256 --mode preview --algorithm 1 --background 14 --seed 1 --out "$work/expected.png" >/dev/null
cmp -s "$icon" "$work/expected.png" || fail "the icon is not nivora-render's picture"
echo "-- the icon: nivora-render's 256x256 picture (rule 1, background 14, seed 1)"
echo "package: all checks passed"
