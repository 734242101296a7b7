#!/usr/bin/env bash
# Builds everything with ThreadSanitizer (Clang, -O1) in build-tsan/ and runs every test that
# is not realtime (the sanitizer's slowdown alone would break a timing verdict); any report
# fails the run. Only frames inside Qt are suppressed (tests/tsan.supp). First the canary: a
# deliberate race in a GUI-thread callback that must be reported, or the suppressions hide
# our own code and the run fails.
#   scripts/run-tsan.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/configure.sh tsan
cmake --build build-tsan -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Qt is not instrumented: what the interceptors see Qt itself do (allocate, free, copy) is left
# aside, as the suppressions leave frames inside Qt.
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp"
mkdir -p build-tsan/logs
canary=build-tsan/logs/tsan_canary.log
if build-tsan/tests/ui/tsan_canary >"$canary" 2>&1 \
    || ! grep -q "WARNING: ThreadSanitizer: data race" "$canary" || ! grep -q raceInAGuiCallback "$canary"; then
  echo "ThreadSanitizer missed the canary's race in a GUI-thread callback:"
  tail -n 40 "$canary"
  exit 1
fi
echo "ThreadSanitizer: the canary's race is reported"

ctest --test-dir build-tsan --output-on-failure -LE realtime -j"${TSAN_JOBS:-$((2 * $(nproc)))}" "$@"
