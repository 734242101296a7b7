#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/, Clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each from a copy of its seed corpus with the libFuzzer
# options given, FUZZ_PARALLEL targets at a time (default 2). Prints each target's runs and
# runs per second; fails when any target crashes, hangs or breaks an invariant, and leaves
# the input that did it in build-fuzz/runs/.
#   tests/fuzz/run.sh -max_total_time=30
set -euo pipefail
cd "$(dirname "$0")/../.."

targets=(deck_reply settings decksim_protocol decksim_command_line cmx3600)
runs=build-fuzz/runs

CC=clang CXX=clang++ cmake -S tests/fuzz -B build-fuzz >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
rm -rf "$runs"
mkdir -p "$runs"

fuzz_one() {
  local target=$1
  shift
  cp -r "tests/fuzz/corpus/$target" "$runs/$target"
  local log=$runs/$target.log
  local started=$SECONDS
  if ! "build-fuzz/fuzz_$target" -timeout=25 -print_final_stats=1 -artifact_prefix="$runs/$target-" \
      "$@" "$runs/$target" >"$log" 2>&1; then
    echo "fuzz_$target FAILED:"
    grep -v -E '^#[0-9]+' "$log" | tail -60
    return 1
  fi
  local total
  total=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  local seconds=$((SECONDS - started))
  echo "fuzz_$target: $total runs in ${seconds} s, $((total / (seconds > 0 ? seconds : 1))) runs/s"
}
export -f fuzz_one
export runs

printf '%s\n' "${targets[@]}" | xargs -P "${FUZZ_PARALLEL:-2}" -I{} bash -c 'fuzz_one "$@"' _ {} "$@"
