#!/bin/bash
# scripts/run.sh --help prints its usage and does nothing else: a copy of the
# script runs beside an install-deps.sh that fails if called, with no display.
set -u
script=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/scripts"
cp "$script" "$tree/scripts/run.sh"
printf '#!/bin/sh\necho "install-deps.sh was called" >&2\nexit 3\n' >"$tree/scripts/install-deps.sh"
chmod +x "$tree/scripts/install-deps.sh"
for option in --help -h; do
    out=$(cd /tmp && env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$tree/scripts/run.sh" "$option" 2>&1)
    status=$?
    [ "$status" -eq 0 ] || { echo "FAIL: run.sh $option: status $status: $out" >&2; exit 1; }
    for word in "scripts/run.sh --windows" "scripts/run.sh --settings" "scripts/run.sh --render" "--help"; do
        grep -qF -- "$word" <<<"$out" || { echo "FAIL: run.sh $option does not mention '$word': $out" >&2; exit 1; }
    done
    [ -z "$(ls -A "$tree" | grep -vx scripts)" ] || { echo "FAIL: run.sh $option wrote $(ls "$tree")" >&2; exit 1; }
done
echo "run.sh --help and -h: the usage, status 0, nothing built or installed"
