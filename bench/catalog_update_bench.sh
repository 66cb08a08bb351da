#!/usr/bin/env bash
# An update that finds new names interleaved with a large folder's entries,
# against a fresh scan of the same final tree (whole commands, best of three).
#   bench/catalog_update_bench.sh [OLD_FILES] [BUILD_DIR]
# The folder starts with OLD_FILES names (default 200,000); the update finds
# half as many again, each sorting between two old ones.
set -euo pipefail
OLD=${1:-200000}
cd "$(dirname "$0")/.."
BUILD=${2:-build/release-bench}
BENCH_DIR=${BENCH_DIR:-/tmp/tamblix-bench}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target tamblix-cli >/dev/null
CLI=$PWD/$BUILD/src/cli/tamblix-cli
WORK=$BENCH_DIR/interleave-$OLD
ROOT=$WORK/flat
rm -rf "$WORK"
mkdir -p "$ROOT"
export TZ=UTC
SETTINGS=$WORK/settings.ini
"$CLI" --settings "$SETTINGS" handlers --defaults >/dev/null

# Names 0..N-1 of a 3:2 split: every third name is new.
TOTAL=$((OLD * 3 / 2))
names() { awk -v n="$TOTAL" -v keep="$1" 'BEGIN { for (i = 0; i < n; i++) if ((i % 3 == 2) == keep) printf "file %07d.dat\n", i }'; }
(cd "$ROOT" && names 0 | xargs -d '\n' touch)
"$CLI" --settings "$SETTINGS" scan "$WORK/old.txc" "$ROOT" --title Flat --no-serial-check >/dev/null 2>&1
(cd "$ROOT" && names 1 | xargs -d '\n' touch)

best() { # best wall time of 3 runs; PREPARE runs untimed before each
  local prepare=$1 b=999999
  shift
  for _ in 1 2 3; do
    $prepare
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    b=$(echo "$b $s $e" | awk '{t=$3-$2; print (t<$1)?t:$1}')
  done
  echo "$b"
}
fresh_copy() { cp "$WORK/old.txc" "$WORK/upd.txc"; }
no_catalog() { rm -f "$WORK/new.txc"; }

find "$ROOT" >/dev/null # warm the caches
UPDATE=$(best fresh_copy "$CLI" --settings "$SETTINGS" update "$WORK/upd.txc" Flat --source "$ROOT")
SCAN=$(best no_catalog "$CLI" --settings "$SETTINGS" scan "$WORK/new.txc" "$ROOT" --title Flat --no-serial-check)
# Both must end in the same catalog.
"$CLI" --settings "$SETTINGS" ls "$WORK/upd.txc" 'Flat\' | cut -f1 > "$WORK/upd.lst"
"$CLI" --settings "$SETTINGS" ls "$WORK/new.txc" 'Flat\' | cut -f1 > "$WORK/new.lst"
cmp -s "$WORK/upd.lst" "$WORK/new.lst" || { echo "the update and the scan disagree" >&2; exit 1; }
awk -v u="$UPDATE" -v s="$SCAN" -v old="$OLD" -v n="$TOTAL" 'BEGIN {
  printf "folder of %d entries, %d new names interleaved\n", old, n - old
  printf "update:      %.3f s\n", u
  printf "fresh scan:  %.3f s  (update %.2fx the scan; target 1.5x at most)\n", s, u / s
}'
rm -rf "$WORK"
