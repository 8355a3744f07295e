#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for a bounded time from its seed corpus in
# tests/fuzz/corpus/TARGET. Inputs that once failed, kept in
# tests/fuzz/regressions/TARGET, are run first. Any crash, leak, sanitizer
# report or failed invariant fails the run; its input is left in
# build-fuzz/findings/TARGET. Prints the executions and the coverage of each.
# The build is CMakePresets.json's "fuzz" (build-fuzz); --no-build takes it as
# it is (scripts/test.sh builds it once and runs the targets side by side).
# The targets are the files tests/fuzz/fuzz_*.cpp.
#   scripts/fuzz.sh [--no-build] [SECONDS_PER_TARGET] [TARGET...]
#   scripts/fuzz.sh --list        the targets' names
set -euo pipefail
cd "$(dirname "$0")/.."
all_targets=()
for source in tests/fuzz/fuzz_*.cpp; do
  all_targets+=("$(basename "$source" .cpp)")
done
[ "${1:-}" = --list ] && { printf '%s\n' "${all_targets[@]}"; exit 0; }
build_it=1
[ "${1:-}" = --no-build ] && { build_it=0; shift; }
seconds=${1:-30}
shift || true

build=build-fuzz
if [ $build_it = 1 ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)" >/dev/null
fi

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

export ASAN_OPTIONS=detect_leaks=1:handle_sigfpe=0
export UBSAN_OPTIONS=print_stacktrace=1
status=0
for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/$target"
  regressions="tests/fuzz/regressions/$target"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    "$binary" "$regressions"/* >"$build/$target-regressions.log" 2>&1 ||
      { echo "$target: a kept regression input fails again (see $build/$target-regressions.log)"; status=1; continue; }
  fi
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  log="$build/$target.log"
  if "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=3072 \
       -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    result=ok
  else
    result="FINDING (input in $findings, log in $log)"
    status=1
  fi
  execs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  echo "$target: $result; ${execs:-?} executions in ${seconds} s, $cov, corpus $(ls "$corpus" | wc -l) inputs"
done
exit "$status"
