#!/usr/bin/env bash
# Runs each libFuzzer target of the Clang sanitizer build (build-asan/, built first when
# needed) with the libFuzzer options given, FUZZ_PARALLEL targets at a time (default 2). Each
# target's corpus is kept in build-asan/fuzz-corpus/<target>: seeded from tests/fuzz/corpus and
# grown run after run. Prints each target's runs and runs per second; fails when a target
# crashes, hangs or breaks an invariant, and leaves the input that did it in
# build-asan/fuzz-runs/. Replay one with build-asan/tests/fuzz/replay_<target> FILE, fix the
# fault, and add the input to tests/fuzz/corpus/<target>: every build replays it as a test.
#   tests/fuzz/run.sh -max_total_time=30
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build-asan
[ -f "$build/CMakeCache.txt" ] || scripts/configure.sh asan
cmake --build "$build" -j"$(nproc)" --target fuzz_targets >/dev/null
runs=$build/fuzz-runs
rm -rf "$runs"
mkdir -p "$runs" "$build/fuzz-corpus"

fuzz_one() {
  local target=$1
  shift
  local corpus=$build/fuzz-corpus/$target
  mkdir -p "$corpus"
  cp -n tests/fuzz/corpus/"$target"/* "$corpus"/
  local log=$runs/$target.log
  local started=$SECONDS
  if ! "$build/tests/fuzz/fuzz_$target" -timeout=25 -print_final_stats=1 -artifact_prefix="$runs/$target-" \
      "$@" "$corpus" >"$log" 2>&1; then
    echo "fuzz_$target FAILED:"
    grep -v -E '^#[0-9]+' "$log" | tail -60
    return 1
  fi
  local total
  total=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  local seconds=$((SECONDS - started))
  echo "fuzz_$target: $total runs in ${seconds} s, $((total / (seconds > 0 ? seconds : 1))) runs/s, corpus $(ls "$corpus" | wc -l) inputs"
}
export -f fuzz_one
export build runs

ls tests/fuzz/corpus | xargs -P "${FUZZ_PARALLEL:-2}" -I{} bash -c 'fuzz_one "$@"' _ {} "$@"
