#!/bin/sh
# The engine's floors and the programs' shared logic above them:
#   engine/numbers  <-  engine/pictures  <-  engine/cycle  <-  host
# A file in one of them includes headers of its own floor or of those below,
# never of a floor above and never anything else of the source tree, no file
# lies outside the floors, and the includes between the files form no loop.
#
#   tests/include_layers.sh [SRC]      SRC: the source tree (default: ../src)
set -eu
src=${1:-$(dirname "$0")/../src}
cd "$src"

floor() {
    case $1 in
        engine/numbers/*) echo 1 ;;
        engine/pictures/*) echo 2 ;;
        engine/cycle/*) echo 3 ;;
        host/*) echo 4 ;;
        *) echo 0 ;;
    esac
}

failed=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

for file in $(find engine host -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort); do
    from=$(floor "$file")
    if [ "$from" = 0 ]; then
        echo "FAIL: $file lies outside the floors"
        failed=1
        continue
    fi
    echo "$file $file" >>"$edges"
    for header in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
        to=$(floor "$header")
        if [ "$to" = 0 ] || [ ! -f "$header" ]; then
            echo "FAIL: $file includes $header, which is in no floor"
            failed=1
        elif [ "$to" -gt "$from" ]; then
            echo "FAIL: $file includes $header, a floor above its own"
            failed=1
        fi
        echo "$file $header" >>"$edges"
    done
done

# tsort names the files of a loop on stderr and fails.
if ! tsort <"$edges" >/dev/null; then
    echo "FAIL: the includes above form a loop"
    failed=1
fi

[ "$failed" = 0 ] && echo "$(awk '$1 != $2' "$edges" | wc -l) includes: none upward, no loop"
exit "$failed"
