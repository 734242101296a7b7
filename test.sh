#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite in three builds:
# - Release (GCC): every test, a 50-edit soak on faulty lines, the Debian
#   package. The realtime tests (ctest label realtime: edits checked to the frame, time
#   bounds, waits in real time, the soak) run here only, in two lanes: the long runs (label
#   realtime-longrun: the soak, whole lists assembled) one at a time in one, the other realtime
#   tests one at a time in the other.
# - Clang with AddressSanitizer and UndefinedBehaviorSanitizer, leaks checked: every test that
#   is not realtime, every fuzz seed, then each fuzz target from its corpus (tests/fuzz/run.sh).
# - Clang with ThreadSanitizer: its canary, then every test that is not realtime
#   (scripts/run-tsan.sh).
# The realtime tests run at normal priority from the moment what they need is built; all the
# rest runs meanwhile at the lowest scheduling priority (SCHED_IDLE), taking only the CPU they
# leave: their timing is that of an idle machine while both cores stay busy. Each stage's time
# is printed at the end.
set -euo pipefail
export CMAKE_GENERATOR=Ninja
cd "$(dirname "$0")"

started=$SECONDS
times=$(mktemp)
realtime=""
# On the way out, whatever happened: the realtime tests stopped if still running, each stage's
# time printed.
finish() {
  [ -n "$realtime" ] && kill -- -"$realtime" 2>/dev/null || true
  echo
  echo "Stage times (the realtime tests run beside the other stages):"
  cat "$times"
  printf '%-34s %5d s\n' "total" $((SECONDS - started))
  rm -f "$times"
}
trap finish EXIT
# Runs a stage and notes how long it took; a failed stage fails the run.
stage() {
  local name=$1
  shift
  local from=$SECONDS
  "$@"
  printf '%-34s %5d s\n' "$name" $((SECONDS - from)) >>"$times"
}

stage "install" scripts/install-packages.sh

jobs=$(nproc)
# Most tests wait on decks and clocks far more than they compute; under a sanitizer they compute
# several times more.
wide=$((3 * jobs))
sanitized=$((2 * jobs))
export QT_QPA_PLATFORM=offscreen

# What the realtime tests need first, then the realtime tests in a session of their own: the
# soak from the start, then the realtime tests that are no long runs; beside them, from the
# moment the Release build is there, the other long runs.
stage "release: configure" scripts/configure.sh release
stage "release: build what the soak needs" cmake --build build -j"$jobs" --target bench_soak
mkdir -p build/logs
rm -f build/logs/built
setsid bash -c '
  times=$0
  lane() {
    local name=$1 log=$2
    shift 2
    local from=$SECONDS
    ctest --test-dir build "$@" >"$log" 2>&1
    local status=$?
    printf "%-34s %5d s\n" "$name" $((SECONDS - from)) >>"$times"
    return $status
  }
  built() { until [ -e build/logs/built ]; do sleep 1; done; }
  (built && lane "realtime: lists assembled" build/logs/longruns.log -L realtime-longrun -E "^soak[.]" --output-on-failure) &
  lists=$!
  lane "realtime: soak (50 edits)" build/logs/soak.log -L realtime -R "^soak[.]" -V
  soak=$?
  built
  lane "realtime: the other tests" build/logs/realtime.log -L "^realtime$" --output-on-failure
  others=$?
  wait $lists && [ $soak -eq 0 ] && [ $others -eq 0 ]
' "$times" &
realtime=$!

# Everything else gives way to the realtime tests.
chrt --idle -p 0 $$ >/dev/null

stage "release: build the rest" cmake --build build -j"$jobs"
touch build/logs/built
stage "release: tests (not realtime)" ctest --test-dir build --output-on-failure -LE realtime -j"$wide"
# The Debian package is made from the Release build: its files and declared dependencies.
rm -f build/kestrix_*.deb
stage "release: package" bash -c 'cd build && cpack -G DEB >/dev/null && ../scripts/check-package.sh kestrix_*.deb'

stage "asan: configure and build" bash -c 'scripts/configure.sh asan && cmake --build build-asan -j'"$jobs"
stage "asan: tests (not realtime)" env ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -LE realtime -j"$sanitized"
stage "fuzz: 15 s per target" tests/fuzz/run.sh -max_total_time=15

stage "tsan: canary, build and tests" env TSAN_JOBS="$sanitized" scripts/run-tsan.sh

waited=$SECONDS
wait "$realtime" && passed=true || passed=false
realtime=""
printf '%-34s %5d s\n' "waiting for the realtime tests" $((SECONDS - waited)) >>"$times"
grep -E "FAULT|soak check|soak: |completed: |aborted by|ended by|memory: |threads: " build/logs/soak.log || true
tail -n 40 build/logs/realtime.log
tail -n 20 build/logs/longruns.log
$passed || { echo "Realtime tests failed (build/logs/soak.log, build/logs/realtime.log, build/logs/longruns.log)"; exit 1; }
