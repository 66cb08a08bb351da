#!/usr/bin/env bash
# Scan speed against `find` on the same tree, in one run: medians of RUNS
# (default 7) runs of each, taken in turn, each a process of its own, with the
# bytes each read from the disk and asked for (from /proc/self/io) and its
# peak memory.
#   bench/scan_bench.sh N CORPUS_SCRIPT [BUILD_DIR]
# CORPUS_SCRIPT is the benchmark-volume generator (called as SCRIPT N DIR); the
# corpus is kept in $BENCH_DIR (default /tmp/tamblix-bench) between runs.
# COLD=1 empties the page cache before every run (root only; the whole
# machine's cache goes), as a disc or drive not read since it was mounted.
set -euo pipefail
N=${1:-200000}
CORPUS_SCRIPT=${2:-${CORPUS_SCRIPT:?give the corpus script as the second argument or in CORPUS_SCRIPT}}
COLD=${COLD:-0}
if [ "$COLD" = 1 ] && { [ "$(id -u)" != 0 ] || [ ! -w /proc/sys/vm/drop_caches ]; }; then
  echo "cold runs skipped: emptying the page cache needs root"
  exit 0
fi
cd "$(dirname "$0")/.."
BUILD=${3:-build/release-bench}
BENCH_DIR=${BENCH_DIR:-/tmp/tamblix-bench}
mkdir -p "$BENCH_DIR"
# CLI in the environment measures another build of the program.
if [ -z "${CLI:-}" ]; then
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$BUILD" --target tamblix-cli >/dev/null
  CLI=$PWD/$BUILD/src/cli/tamblix-cli
fi
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

# find and both scans in turn, so that the machine's load falls on each alike.
# Each is measured by its parent: the wall clock around the spawn, the peak
# memory from wait4, and the bytes read from the parent's /proc/self/io, to
# which the kernel adds a child's counts when it is reaped.
find "$ROOT" -printf '%p %s %T@\n' >/dev/null # warm the caches
rm -f "$BENCH_DIR/b.txc"
export CLI ROOT BENCH_DIR OFF ON COLD RUNS=${RUNS:-7}
python3 - <<'PYEOF'
import os, statistics, subprocess, time

cli, root, work = os.environ["CLI"], os.environ["ROOT"], os.environ["BENCH_DIR"]
cold, runs = os.environ["COLD"] == "1", int(os.environ["RUNS"])
catalog = os.path.join(work, "b.txc")


def io():
    with open("/proc/self/io") as f:
        return {k: int(v) for k, v in (line.split(": ") for line in f)}


def measure(argv):
    if os.path.exists(catalog):
        os.remove(catalog)
    if cold:
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
    before = io()
    t = time.perf_counter()
    with open(os.devnull, "wb") as null:
        p = subprocess.Popen(argv, stdout=null, stderr=null)
        _, _, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    after = io()
    return {"wall": wall, "disk": after["read_bytes"] - before["read_bytes"],
            "asked": after["rchar"] - before["rchar"], "rss": usage.ru_maxrss * 1024}


def scan(settings):
    return [cli, "--settings", settings, "scan", catalog, root, "--no-serial-check"]


peers = {"find": ["find", root, "-printf", "%p %s %T@\n"], "off": scan(os.environ["OFF"]),
         "on": scan(os.environ["ON"])}
got = {k: [] for k in peers}
for _ in range(runs):
    for k, argv in peers.items():
        got[k].append(measure(argv))
m = {k: {f: statistics.median(r[f] for r in v) for f in v[0]} for k, v in got.items()}
spread = {k: (min(r["wall"] for r in v), max(r["wall"] for r in v)) for k, v in got.items()}
entries = sum(len(d) + len(f) for _, d, f in os.walk(root))
size = os.path.getsize(catalog)
base = measure([cli, "--version"])["rss"]
MB = 1e6
f = m["find"]["wall"]
print(f"entries:               {entries}   ({'cold: page cache emptied before each run' if cold else 'warm'}, {runs} runs each, medians)")
print(f"find -printf:          {f:.3f} s  ({spread['find'][0]:.3f}-{spread['find'][1]:.3f}; the peer)")
for k, name in (("off", "scan, handlers off:"), ("on", "scan, handlers on: ")):
    w = m[k]["wall"]
    print(f"{name}   {w:.3f} s  ({w / f:.2f}x find; {spread[k][0]:.3f}-{spread[k][1]:.3f})")
print(f"read from the disk:    find {m['find']['disk'] / MB:.1f} MB, handlers off {m['off']['disk'] / MB:.1f} MB, on {m['on']['disk'] / MB:.1f} MB")
print(f"the handlers' reads:   {(m['on']['asked'] - m['off']['asked']) / MB:.1f} MB asked for by the readers, "
      f"{(m['on']['disk'] - m['off']['disk']) / MB:.1f} MB more from the disk (libraries loaded included)")
print(f"peak memory:           handlers off {m['off']['rss'] / MB:.1f} MB, on {m['on']['rss'] / MB:.1f} MB ({m['on']['rss'] / m['off']['rss']:.2f}x)")
print(f"peak memory per entry: {(m['off']['rss'] - base) / entries:.0f} bytes off, {(m['on']['rss'] - base) / entries:.0f} bytes on "
      f"(the program's own start, {base / MB:.1f} MB, left out; catalog file {size / MB:.1f} MB)")
PYEOF
rm -f "$BENCH_DIR/b.txc"
