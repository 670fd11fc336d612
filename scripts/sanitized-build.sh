#!/usr/bin/env bash
# sanitized-build.sh [TARGET...]: configures and builds the sanitized build in
# build-asan/: clang, AddressSanitizer and UndefinedBehaviorSanitizer on every
# file, warnings as errors, the fuzz targets, no benchmarks. Builds
# everything, or only the TARGETs given. Its compile database also serves
# scripts/tidy.sh.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [[ ! -f build-asan/CMakeCache.txt ]]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRIM_WERROR=ON \
    -DZENTRIM_SANITIZE=ON -DZENTRIM_FUZZ=ON -DZENTRIM_BUILD_BENCH=OFF
fi
if (($# > 0)); then
  targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build build-asan "${targets[@]}"
else
  cmake --build build-asan
fi
