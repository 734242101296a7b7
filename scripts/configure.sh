#!/usr/bin/env bash
# Configures one of the build trees ./test.sh builds, the way it builds it:
#   scripts/configure.sh release   build/       Release (warnings reported, not errors)
#   scripts/configure.sh asan      build-asan/  Clang, AddressSanitizer and UndefinedBehavior-
#                                               Sanitizer at -O1, with the libFuzzer targets
#   scripts/configure.sh tsan      build-tsan/  Clang, ThreadSanitizer at -O1
# The sanitizer builds run at -O1: several times faster than -O0, and the stacks stay exact.
# All three compile each library's and each test program's sources together (unity builds): a
# clean build takes about 60% of the time, and a name two files of one target both define at
# file scope fails it, so such names are kept apart. (GCC says of a test fixture in an unnamed
# namespace that it is used from another file: in a unity build every source is one file.)
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_GENERATOR=Ninja
sanitizerFlags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" -DKESTRIX_WERROR=ON -DCMAKE_UNITY_BUILD=ON)
case "${1:-}" in
  release) cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRIX_WERROR=OFF -DCMAKE_UNITY_BUILD=ON \
             -DCMAKE_CXX_FLAGS=-Wno-subobject-linkage ;;
  asan) CC=clang CXX=clang++ cmake -S . -B build-asan "${sanitizerFlags[@]}" -DKESTRIX_SANITIZE=ON ;;
  tsan) CC=clang CXX=clang++ cmake -S . -B build-tsan "${sanitizerFlags[@]}" -DKESTRIX_TSAN=ON ;;
  *) echo "usage: scripts/configure.sh release|asan|tsan" >&2; exit 2 ;;
esac >/dev/null
