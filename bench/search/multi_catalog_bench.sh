#!/usr/bin/env bash
# Searching many catalogs in one run against plocate over one database of all
# their paths: COUNT (default 20) catalogs of about ENTRIES (default 50,000)
# entries, each the scan of a benchmark volume of its own (the corpus script
# run with its own SEED), and `tamblix-cli search CATALOG... --name T` for a
# rare and a common T against `plocate -i -b T` (names only, as --name does)
# over a database of the same volumes' paths, built beforehand. Each is a
# process of its own: medians of RUNS (default 7) runs taken in turn, after
# one to warm the caches. Both print their rows to /dev/null.
#   bench/search/multi_catalog_bench.sh CORPUS_SCRIPT [BUILD_DIR] [COUNT] [ENTRIES]
# The volumes are kept in $BENCH_DIR/multi (default /tmp/tamblix-bench/multi).
set -euo pipefail
corpus_script=${1:?give the corpus script (called as SCRIPT N DIR)}
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$src/build/release-bench}
count=${3:-20}
entries=${4:-50000}
bench_dir=${BENCH_DIR:-/tmp/tamblix-bench}/multi
command -v plocate >/dev/null && command -v plocate-build >/dev/null ||
  { echo "plocate is not installed: nothing to compare with"; exit 0; }
if [ -z "${CLI:-}" ]; then
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF \
          -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$build" --target tamblix-cli >/dev/null
  CLI=$build/src/cli/tamblix-cli
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$bench_dir"
# Files: the volumes have about 5% folders besides.
files=$((entries * 95 / 100))
# Handlers off: the catalogs hold what find lists, the names plocate gets.
disable=()
for t in $("$CLI" --settings "$work/settings.ini" handlers | cut -f1); do disable+=(--disable "$t"); done
"$CLI" --settings "$work/settings.ini" handlers "${disable[@]}" >/dev/null
catalogs=()
for i in $(seq "$count"); do
  vol=$bench_dir/corpus-$i
  [ -d "$vol/vol" ] || SEED=$((20240600 + i)) bash "$corpus_script" "$files" "$vol" >/dev/null
  cat=$work/disc-$i.txc
  "$CLI" --settings "$work/settings.ini" scan "$cat" "$vol/vol" --title "disc $i" \
    --no-serial-check >/dev/null 2>&1 || [ -s "$cat" ]
  find "$vol/vol" -mindepth 1 >>"$work/paths.txt"
  catalogs+=("$cat")
done
plocate-build -p "$work/paths.txt" "$work/paths.db"
python3 - "$CLI" "$work" "${RUNS:-7}" "${catalogs[@]}" <<'PY'
import os, subprocess, sys, time
cli, work, runs, catalogs = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
names = [line.rstrip("\n").rsplit("/", 1)[-1].lower()
         for line in open(work + "/paths.txt", encoding="utf-8", errors="replace")]
def hits(t):
    return sum(t in n for n in names)
# A name part few entries have, and one that many have.
queries = {"rare": "holiday_chapter", "common": "report"}
print(f"{len(catalogs)} catalogs, {len(names)} entries in all")
def once(argv):
    t = time.perf_counter()
    out = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return time.perf_counter() - t, out.count(b"\n")
for kind, t in queries.items():
    runs_ = {"plocate -i -b": ["plocate", "-d", work + "/paths.db", "-i", "-b", t],
             "tamblix-cli search": [cli, "--settings", work + "/settings.ini", "search", *catalogs,
                                    "--name", t, "--no-summary"]}
    times = {k: [] for k in runs_}
    rows = {}
    for k, argv in runs_.items():
        _, rows[k] = once(argv)
    for _ in range(runs):
        for k, argv in runs_.items():
            times[k].append(once(argv)[0])
    med = {k: sorted(v)[len(v) // 2] for k, v in times.items()}
    p, c = med["plocate -i -b"], med["tamblix-cli search"]
    print(f"{kind} name \"{t}\" ({hits(t)} names hold it): plocate {p * 1e3:.1f} ms "
          f"({rows['plocate -i -b']} rows), tamblix-cli search {c * 1e3:.1f} ms "
          f"({rows['tamblix-cli search']} rows): {c / p:.2f}x (target: 2x or less)")
PY
