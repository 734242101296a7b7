#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: once in a plain build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer; then runs the fuzz targets and
# the threaded tests under ThreadSanitizer.
set -euo pipefail
# Ninja builds faster than make and schedules the two cores better.
export CMAKE_GENERATOR=Ninja
cd "$(dirname "$0")"

scripts/install-packages.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# The plain build is built as a user builds it (Release, warnings reported, not fatal); the
# sanitizer build holds the project's own code to no warnings at all.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRIX_WERROR=OFF >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
# The Debian package is made from the plain build: its files and declared dependencies.
rm -f build/kestrix_*.deb
(cd build && cpack -G DEB >/dev/null)
scripts/check-package.sh build/kestrix_*.deb

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTRIX_SANITIZE=ON -DKESTRIX_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Fuzzing: each fuzz target for 30 s from its seed corpus, two at a time (tests/fuzz/run.sh).
tests/fuzz/run.sh -max_total_time=30

# ThreadSanitizer: the serial, deck, event list, ui and end-to-end tests, two at a time
# (scripts/run-tsan.sh).
scripts/run-tsan.sh
