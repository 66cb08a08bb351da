#!/usr/bin/env bash
# Catalog save and load of 1,000,000 entries in 20,000 folders (Release build),
# each next to its floor on this machine: reading the file's bytes (`cat`) for
# the load, writing them (`cp`) for the save, run as processes of their own and
# timed by one wrapper (median of 7, after one to warm the caches). Our load is
# timed the same way: median of 7 fresh processes after one warm-up.
# Usage: bench/catalog_bench.sh [BUILD_DIR] [ENTRIES]
set -euo pipefail
BUILD=${1:-build/release-bench}
N=${2:-1000000}
cd "$(dirname "$0")/.."
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target bench_catalog >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tamblix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$BUILD/bench/bench_catalog" "$N" "$work/c.txc" | tee "$work/ours.txt"
python3 - "$work" "$BUILD/bench/bench_catalog" <<'PY'
import re, subprocess, sys, time
work, bench = sys.argv[1], sys.argv[2]
text = open(work + "/ours.txt").read()
save = float(re.search(r"^save: ([0-9.]+) s", text, re.M).group(1))
def load_once():
    out = subprocess.run([bench, "load", work + "/c.txc"], capture_output=True, text=True).stdout
    return float(re.search(r"^load: ([0-9.]+) s", out, re.M).group(1))
load_once()
loads = sorted(load_once() for _ in range(7))
load = loads[3]
print("load: median %.3f s of 7 (%.3f to %.3f)" % (load, loads[0], loads[-1]))
peers = {"cat (read floor)": (["cat", work + "/c.txc"], load, "load"),
         "cp (write floor)": (["cp", work + "/c.txc", work + "/copy.txc"], save, "save")}
def once(args):
    t = time.perf_counter()
    subprocess.run(args, stdout=subprocess.DEVNULL)
    return time.perf_counter() - t
times = {k: [] for k in peers}
for args, _, _ in peers.values():
    once(args)
for _ in range(7):
    for k, (args, _, _) in peers.items():
        times[k].append(once(args))
for k, (args, ours, what) in peers.items():
    floor = sorted(times[k])[3]
    print("%s: %.3f s against %s %.3f s: %.2fx" % (what, ours, k, floor, ours / floor))
PY
