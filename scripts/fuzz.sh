#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for a bounded time from its seed corpus in
# tests/fuzz/corpus/TARGET. Inputs that once failed, kept in
# tests/fuzz/regressions/TARGET, are run first. Any crash, leak, sanitizer
# report or failed invariant fails the run; its input is left in
# build-fuzz/findings/TARGET. Prints the executions and the coverage of each.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true

build=build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g -O1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DNIVORA_BUILD_FUZZERS=ON -DNIVORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_command_line fuzz_settings_load fuzz_render_options fuzz_picture)

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
