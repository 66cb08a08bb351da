#!/bin/sh
# Builds the search benchmark in Release and runs it on a million entries.
# Usage: bench/search/run_search_bench.sh [BUILD_DIR] [ENTRIES]
set -e
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$src/build/bench-search}
entries=${2:-1000000}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF \
      -DTAMBLIX_BUILD_TESTS=OFF -DTAMBLIX_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target search_bench
"$build/bench/search/search_bench" "$entries" "${TMPDIR:-/tmp}"
