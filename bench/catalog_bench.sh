#!/usr/bin/env bash
# Catalog save and load of 1,000,000 entries in 20,000 folders (Release build).
# Usage: bench/catalog_bench.sh [BUILD_DIR] [ENTRIES]
set -euo pipefail
BUILD=${1:-build/release-bench}
N=${2:-1000000}
cd "$(dirname "$0")/.."
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target bench_catalog >/dev/null
"$BUILD/bench/bench_catalog" "$N" "${TMPDIR:-/tmp}/tamblix-bench-$$.txc"
