#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a Release build with
# warnings as errors, then the same tests under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh test
export TZ=UTC QT_QPA_PLATFORM=offscreen
configure build/test -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_WERROR=ON
(cd build/test && ctest --output-on-failure -j2)
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DTAMBLIX_WERROR=ON -DTAMBLIX_SANITIZE=ON -DTAMBLIX_BUILD_BENCH=OFF
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2)
echo "All tests passed."
