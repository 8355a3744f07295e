#!/bin/bash
# Compares two builds of nivora_bench benchmark by benchmark, side by side:
# each benchmark matching REGEX runs on BASE, then on NEW, ROUNDS times in
# turn (so that a change in the machine's load falls on both), and the medians
# of their CPU times are printed with the ratio NEW/BASE, the slowest first,
# then the median and the worst ratio.
#
#   bench/compare.sh BASE NEW [REGEX] [ROUNDS]
#
# BASE and NEW are nivora_bench executables, REGEX a --benchmark_filter (by
# default every 1080p regeneration on one thread), ROUNDS 3 by default.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BASE NEW [REGEX] [ROUNDS]" >&2
    exit 2
fi
base=$1 new=$2
regex=${3:-'BM_(Background0|Snowflake)/1080/.*/1/'}
rounds=${4:-3}

cpu_ms() {  # the CPU time of the one benchmark named $2, run by $1
    "$1" --benchmark_filter="^$2\$" --benchmark_format=csv 2>/dev/null | awk -F, '/^"/ { print $4 }'
}

for name in $("$base" --benchmark_list_tests --benchmark_filter="$regex"); do
    for _ in $(seq "$rounds"); do
        echo "$name $(cpu_ms "$base" "$name") $(cpu_ms "$new" "$name")"
    done
done | awk '
    function median(list,    v, n, i, j, t) {
        n = split(list, v, " ")
        for (i = 2; i <= n; i++)  # insertion sort: a handful of values
            for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return v[int((n + 1) / 2)]
    }
    { name = $1; sub(/\/real_time$/, "", name); sub(/^BM_/, "", name)
      if (!(name in base)) order[++count] = name
      base[name] = base[name] " " $2; fresh[name] = fresh[name] " " $3 }
    END {
        for (i = 1; i <= count; i++) {
            b = median(base[order[i]]); n = median(fresh[order[i]])
            printf "%-28s %9.1f %9.1f %6.3f\n", order[i], b, n, n / b
        }
    }' | sort -k4 -rn | awk '
    BEGIN { printf "%-28s %9s %9s %6s\n", "benchmark", "base", "new", "ratio" }
    { print; ratio[NR] = $4 }
    END {
        if (NR == 0) exit 1
        printf "median ratio %.3f, worst %.3f, over %d benchmarks\n", ratio[int((NR + 1) / 2)], ratio[1], NR
    }'
