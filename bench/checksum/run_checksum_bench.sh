#!/bin/sh
# Builds the checksum benchmark in Release and runs it on one core: a 512 MiB
# file hashed from a warm page cache (beside xxhsum -H2), then duplicates by
# content over a million entries.
# Usage: bench/checksum/run_checksum_bench.sh [BUILD_DIR] [MIB] [ENTRIES]
set -e
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$src/build/bench-checksum}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF \
      -DTAMBLIX_BUILD_TESTS=OFF -DTAMBLIX_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target checksum_bench
taskset -c 0 "$build/bench/checksum/checksum_bench" "${2:-512}" "${3:-1000000}" "${TMPDIR:-/tmp}"
