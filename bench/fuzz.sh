#!/usr/bin/env bash
# Fuzzing throughput: runs each fuzz target alone for RUNS executions (default 10 million)
# from its seed corpus and prints the runs, the time and the runs per second.
#   bench/fuzz.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
FUZZ_PARALLEL=1 tests/fuzz/run.sh -runs="${1:-10000000}"
