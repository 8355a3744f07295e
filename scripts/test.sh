#!/usr/bin/env bash
# Builds everything and runs every test: the engine, the tools and the X11 and
# Wayland saver natively (the saver on virtual screens and under the
# screen-saver daemon, the Debian package checked by lintian; the engine also
# under AddressSanitizer and UndefinedBehaviorSanitizer, its numbers also under
# qemu-x86_64), the fuzz targets for a bounded time (NIVORA_FUZZ_SECONDS each,
# 30 by default), the engine with its extended numbers computed in integers,
# the arm64 build (tested under qemu-aarch64, and its package), the web edition
# (its engine under Node, the page in headless Chromium), and the Windows
# program for 64-bit and 32-bit Windows, cross-compiled with MinGW-w64 and
# tested under Wine. Installs what it needs on a fresh Debian or Ubuntu machine
# first. The build trees are CMakePresets.json's.
#
# The work is cut into stages (a build, a test suite, a fuzz target), and
# stages that do not need each other run side by side, a few more than there
# are processors. Each stage writes to build-logs/STAGE.log, shown whole when
# it fails. The tests that must have the machine to themselves (RUN_SERIAL:
# they time answers within a second, or CPU shares) run at the end, one suite
# after another, with nothing else running. A table of the stages' times ends
# the run; the exit status is 1 when any stage failed, and the table says which.
#   scripts/test.sh [STAGE...]    only these stages and those they need; a
#                                 name, or its first part (win32, native)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cores=$(nproc)
logs=$root/build-logs
fuzz_seconds=${NIVORA_FUZZ_SECONDS:-30}
render=$root/build/src/tools/nivora-render

# ---- what the stages run

build() {  # build PRESET [CMAKE_OPTION...]: configure and build all
  cmake --preset "$@" && cmake --build --preset "$1" -j"$cores"
}
build_target() {  # build_target PRESET TARGET [CMAKE_OPTION...]: configure and build one target
  local target=$2
  cmake --preset "$1" "${@:3}" && cmake --build --preset "$1" -j"$cores" --target "$target"
}

# The tests of a build that must run alone, as a regular expression for ctest.
alone_tests() {
  ctest --preset "$1" --show-only=json-v1 |
    jq -r '.tests[] | select(any(.properties[]?; .name == "RUN_SERIAL" and .value == true)) | .name' |
    sed 's/[][\.*^$+?(){}|]/\\&/g' | paste -sd '|' | sed 's/.\+/^(&)$/'
}

# The tests of a build but those that run alone, side by side.
tests_together() {
  local alone
  alone=$(alone_tests "$1") || return 1
  ctest --preset "$1" -j"$cores" ${alone:+-E "$alone"}
}

tests_alone() {
  local alone
  alone=$(alone_tests "$1") || return 1
  if [ -z "$alone" ]; then
    echo "no test of $1 runs alone"
    return 0
  fi
  ctest --preset "$1" -R "$alone"
}

# The same fingerprints and the same correctly rounded functions on an
# emulated processor (qemu-x86_64, its x87 done in software) as on this one:
# nothing in the engine depends on a maker's x87 microcode.
emulated_unit_tests() {
  qemu-x86_64 build/tests/nivora_unit_tests --gtest_brief=1 \
    --gtest_filter='GoldenPictures.*:PinnedCycle.*:ExtendedMath.*'
}
emulated_oracle() {
  NIVORA_ORACLE_COUNT=20000 qemu-x86_64 build/tests/oracle/nivora_oracle_tests --gtest_brief=1
}

# ---- the stages: stage NAME WEIGHT "NEEDS" COMMAND...
# WEIGHT is how many processors the stage keeps busy, 0 for a stage that runs
# alone (the Wine suites keep about one busy: their tests share a Wine prefix,
# one at a time). The order is the order of preference when several could start: the
# longest chain (the native renderer, the 64-bit and then the 32-bit Windows
# program, the end-to-end tests under Wine) first.
names=()
declare -A weight needs command
stage() {
  local name=$1
  names+=("$name")
  weight[$name]=$2
  needs[$name]=$3
  shift 3
  command[$name]="$*"
}

# The Windows builds draw their icon with the native nivora-render, and the
# 32-bit one packs the 64-bit program into the setup program and the zip.
stage native.render 2 "" "build_target native nivora-render"
stage win64.program 2 "native.render" "build_target win64 NivoraGlade -DNIVORA_RENDER=$render"
stage win32.build 2 "native.render win64.program" \
  "build win32 -DNIVORA_RENDER=$render -DNIVORA_SCR64=$root/build-win64/src/win32/NivoraGlade.scr"
stage win32.tests 1 "win32.build" "tests_together win32"
stage win64.build 2 "win64.program" "cmake --build --preset win64 -j$cores"
stage win64.tests 1 "win64.build" "tests_together win64"
stage native.build 2 "native.render" "cmake --build --preset native -j$cores"
stage native.tests 2 "native.build" "tests_together native"
stage x86-emulated.unit 1 "native.build" emulated_unit_tests
stage x86-emulated.oracle 1 "native.build" emulated_oracle
stage sanitize.build 2 "" "build sanitize"
stage sanitize.tests 2 "sanitize.build" "tests_together sanitize"
stage arm64.build 2 "" "build arm64"
stage arm64.tests 2 "arm64.build native.render" "tests_together arm64"
stage soft.build 2 "" "build soft"
stage soft.tests 2 "soft.build" "tests_together soft"
stage web.build 2 "native.render" "build web"
stage web.tests 1 "web.build" "tests_together web"
stage fuzz.build 2 "" "build fuzz"
for target in $(scripts/fuzz.sh --list); do
  stage "fuzz.${target#fuzz_}" 1 "fuzz.build" "scripts/fuzz.sh --no-build $fuzz_seconds $target"
done
for preset in native win32 win64 sanitize arm64 soft web; do
  stage "$preset.alone" 0 "$preset.build" "tests_alone $preset"
done

# ---- which stages: all, or those asked for and what they need
declare -A wanted
want() {
  local n
  [ -n "${wanted[$1]:-}" ] && return
  wanted[$1]=1
  for n in ${needs[$1]}; do want "$n"; done
}
if [ $# -eq 0 ]; then
  for n in "${names[@]}"; do wanted[$n]=1; done
else
  for arg in "$@"; do
    found=0
    for n in "${names[@]}"; do
      if [ "$n" = "$arg" ] || [ "${n%%.*}" = "$arg" ]; then want "$n"; found=1; fi
    done
    [ $found = 1 ] || { echo "no stage $arg; the stages: ${names[*]}" >&2; exit 2; }
  done
fi

# ---- running them
now() { echo "$EPOCHREALTIME"; }
started=$(now)
clock() { awk -v t="$(now)" -v s="$started" 'BEGIN { t -= s; printf "%2d:%02d", t / 60, t % 60 }'; }

rm -rf "$logs"
mkdir -p "$logs"
declare -A state began ended cpu pid_of
# Ctrl-C or a stop ends every stage with its tests.
trap 'trap - INT TERM; echo "stopped"; kill 0' INT TERM

echo "== packages (scripts/install-deps.sh all)"
state[packages]=ok
began[packages]=$started
scripts/install-deps.sh all || state[packages]=FAILED
ended[packages]=$(now)
cpu[packages]=-
if [ "${state[packages]}" != ok ]; then
  echo "FAIL: the packages could not be installed"
  exit 1
fi

for n in "${names[@]}"; do
  [ -n "${wanted[$n]:-}" ] && state[$n]=waiting
done

start() {
  local n=$1
  state[$n]=running
  began[$n]=$(now)
  echo "[$(clock)] start $n"
  (
    exec >"$logs/$n.log" 2>&1
    echo "\$ ${command[$n]}"
    eval "${command[$n]}"
    status=$?
    # The processor time of this stage and all it waited for (a pipe would
    # run times in a process of its own).
    times >"$logs/$n.times"
    awk '{ for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } } END { print s }' \
      "$logs/$n.times" >"$logs/$n.cpu"
    exit $status
  ) &
  pid_of[$!]=$n
}

load() {
  local n l=0
  for n in "${!state[@]}"; do
    [ "${state[$n]}" = running ] && l=$((l + weight[$n]))
  done
  echo $l
}

# A stage can start when what it needs has passed; one that runs alone when
# nothing else is left. Others start while their weights add up to at most
# twice the processors: builds spend part of their time configuring and
# linking on one, and the tests on virtual screens much of theirs waiting.
skip_unreachable() {
  local n d changed=1
  while [ $changed = 1 ]; do
    changed=0
    for n in "${names[@]}"; do
      [ "${state[$n]:-}" = waiting ] || continue
      for d in ${needs[$n]}; do
        case ${state[$d]:-ok} in
          FAILED|skipped)
            state[$n]=skipped
            echo "[$(clock)] skip  $n: $d did not pass"
            changed=1
            break ;;
        esac
      done
    done
  done
}

schedule() {
  local n d ready running=0 others_left=0
  skip_unreachable
  for n in "${!state[@]}"; do
    case ${state[$n]} in
      running) running=1 ;;
      waiting) [ "${weight[$n]:-1}" != 0 ] && others_left=1 ;;
    esac
  done
  for n in "${names[@]}"; do
    [ "${state[$n]:-}" = waiting ] || continue
    ready=1
    for d in ${needs[$n]}; do
      [ "${state[$d]:-ok}" = ok ] || ready=0
    done
    [ $ready = 1 ] || continue
    if [ "${weight[$n]}" = 0 ]; then
      [ $running = 0 ] && [ $others_left = 0 ] || continue
      start "$n"
      return 0  # one at a time
    fi
    local l
    l=$(load)
    if [ "$l" = 0 ] || [ $((l + weight[$n])) -le $((2 * cores)) ]; then
      start "$n"
      running=1
    fi
  done
}

while :; do
  schedule
  busy=0
  for n in "${!state[@]}"; do
    [ "${state[$n]}" = running ] && busy=1
  done
  [ $busy = 1 ] || break
  finished=
  wait -n -p finished
  status=$?
  [ -n "$finished" ] || continue
  n=${pid_of[$finished]}
  ended[$n]=$(now)
  cpu[$n]=$(cat "$logs/$n.cpu" 2>/dev/null || echo -)
  took=$(awk -v a="${began[$n]}" -v b="${ended[$n]}" 'BEGIN { printf "%.0f", b - a }')
  if [ $status = 0 ]; then
    state[$n]=ok
    echo "[$(clock)] ok    $n ($took s)"
  else
    state[$n]=FAILED
    echo "[$(clock)] FAIL  $n ($took s), exit status $status; its log, $logs/$n.log:"
    sed 's/^/  | /' "$logs/$n.log"
  fi
done

# ---- the table
finished_at=$(now)
failed=()
skipped=()
echo
printf '%-22s %-8s %6s %7s %7s\n' stage result start wall CPU
printf '%-22s %-8s %6s %7s %7s\n' '' '' '(m:s)' '(s)' '(s)'
total_cpu=0
for n in packages "${names[@]}"; do
  [ -n "${state[$n]:-}" ] || continue
  case ${state[$n]} in
    FAILED) failed+=("$n") ;;
    ok) ;;
    *) skipped+=("$n") ;;
  esac
  if [ -n "${began[$n]:-}" ]; then
    awk -v n="$n" -v r="${state[$n]}" -v s="$started" -v a="${began[$n]}" -v b="${ended[$n]}" -v c="${cpu[$n]:--}" \
      'BEGIN { at = a - s; printf "%-22s %-8s %3d:%02d %7.0f %7s\n", n, r, at / 60, at % 60, b - a,
               c == "-" ? "-" : sprintf("%.0f", c) }'
    [ "${cpu[$n]:--}" = - ] || total_cpu=$(awk -v t="$total_cpu" -v c="${cpu[$n]}" 'BEGIN { print t + c }')
  else
    printf '%-22s %-8s\n' "$n" "${state[$n]}"
  fi
done
awk -v s="$started" -v e="$finished_at" -v c="$total_cpu" -v p="$cores" 'BEGIN {
  w = e - s
  printf "%-22s %-8s %6s %7.0f %7.0f   (%.0f %% of one processor, %d processors)\n", "all", "", "", w, c, 100 * c / w, p }'
echo "Logs: $logs"
if [ ${#failed[@]} -gt 0 ]; then
  # A long log may be cut where it is shown; the failures, again, last.
  for n in "${failed[@]}"; do
    echo "What failed in $n:"
    grep -E -A5 ': Failure$|\[  FAILED  \]|\*\*\*(Failed|Timeout|Exception)|^FAIL|error:|Error [0-9]+$' "$logs/$n.log" |
      head -60 | sed 's/^/  | /'
    # A test program that crashed says where only at the end of its output.
    awk '/Test +#[0-9]+: .*\*\*\*/ { block = 1; n = 0; name = $0
                                         sub(/.*Test +#[0-9]+: /, "", name); sub(/ .*/, "", name); next }
         block && (/^ *[0-9]+\/[0-9]+ Test +#/ || /^ *Start +[0-9]+:/ || /tests passed|tests failed/) {
           block = 0; print "The end of the output of " name ":"
           for (i = (n > 15 ? n - 14 : 1); i <= n; i++) print line[i] }
         block { line[++n] = $0 }' "$logs/$n.log" | sed 's/^/  | /'
  done
  echo "FAILED: ${failed[*]}"
  [ ${#skipped[@]} -eq 0 ] || echo "not run, for want of what they need: ${skipped[*]}"
  exit 1
fi
echo "All stages passed."
