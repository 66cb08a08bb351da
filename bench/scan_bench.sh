#!/usr/bin/env bash
# Scan speed against `find` on the same warm tree, in one run: medians of
# RUNS (default 7) runs of each, taken in turn, each a process of its own.
#   bench/scan_bench.sh N CORPUS_SCRIPT [BUILD_DIR]
# CORPUS_SCRIPT is the benchmark-volume generator (called as SCRIPT N DIR); the
# corpus is kept in $BENCH_DIR (default /tmp/tamblix-bench) between runs.
set -euo pipefail
N=${1:-200000}
CORPUS_SCRIPT=${2:-${CORPUS_SCRIPT:?give the corpus script as the second argument or in CORPUS_SCRIPT}}
cd "$(dirname "$0")/.."
BUILD=${3:-build/release-bench}
BENCH_DIR=${BENCH_DIR:-/tmp/tamblix-bench}
mkdir -p "$BENCH_DIR"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target tamblix-cli >/dev/null
CLI=$PWD/$BUILD/src/cli/tamblix-cli
CORPUS=$BENCH_DIR/corpus-$N
[ -d "$CORPUS/vol" ] || bash "$CORPUS_SCRIPT" "$N" "$CORPUS" >/dev/null
ROOT=$CORPUS/vol
export TZ=UTC

OFF=$BENCH_DIR/handlers-off.ini ON=$BENCH_DIR/handlers-on.ini
rm -f "$OFF" "$ON"
"$CLI" --settings "$ON" handlers --defaults >/dev/null
for t in $("$CLI" --settings "$ON" handlers | cut -f1); do args+=(--disable "$t"); done
"$CLI" --settings "$OFF" handlers --defaults "${args[@]}" >/dev/null 2>&1 || true
"$CLI" --settings "$OFF" handlers "${args[@]}" >/dev/null

# Wall time of one run of "$@", in seconds.
once() {
  local s e
  s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
  echo "$s $e" | awk '{print $2 - $1}'
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
scan() { rm -f "$BENCH_DIR/b.txc"; "$CLI" --settings "$1" scan "$BENCH_DIR/b.txc" "$ROOT" --no-serial-check; }

# find and both scans in turn, so that the machine's load falls on each alike.
find "$ROOT" -printf '%p %s %T@\n' >/dev/null # warm the caches
TF="" TOFF="" TON=""
for _ in $(seq "${RUNS:-7}"); do
  TF+="$(once find "$ROOT" -printf '%p %s %T@\n') "
  TOFF+="$(once scan "$OFF") "
  TON+="$(once scan "$ON") "
done
FIND=$(median "$TF") SOFF=$(median "$TOFF") SON=$(median "$TON")
ENTRIES=$(find "$ROOT" -mindepth 1 | wc -l)
rm -f "$BENCH_DIR/b.txc"
/usr/bin/time -o "$BENCH_DIR/rss" -f %M "$CLI" --settings "$OFF" scan "$BENCH_DIR/b.txc" "$ROOT" --no-serial-check >/dev/null 2>&1
RSS=$(tail -1 "$BENCH_DIR/rss")
/usr/bin/time -o "$BENCH_DIR/rss" -f %M "$CLI" --version >/dev/null
BASE=$(tail -1 "$BENCH_DIR/rss")
SIZE=$(stat -c %s "$BENCH_DIR/b.txc")
awk -v f="$FIND" -v off="$SOFF" -v on="$SON" -v n="$ENTRIES" -v rss="$RSS" -v base="$BASE" -v size="$SIZE" 'BEGIN {
  printf "entries:               %d\n", n
  printf "find -printf:          %.3f s  (the peer)\n", f
  printf "scan, handlers off:    %.3f s  (%.2fx find)\n", off, off / f
  printf "scan, handlers on:     %.3f s  (%.2fx find)\n", on, on / f
  printf "peak memory per entry: %.0f bytes (handlers off, catalog file %.1f MB)\n", (rss - base) * 1024 / n, size / 1e6
}'
