#!/usr/bin/env bash
# The search over a million entries against the tools it is compared with, in
# one run (and the name search by --regex against the plain one): the in-memory name search against `plocate -c -i` over a database of
# the same names and a `grep -c -i -F` over a file of them, and
# `tamblix-cli search` end to end against plocate. Each peer, and the command
# line, runs as a process of its own, all timed by the same wrapper (Python's
# clock around each spawn and wait): the median of 7 runs taken in turn, after
# one to warm the caches.
# Usage: bench/search/run_search_bench.sh [BUILD_DIR] [ENTRIES]
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$src/build/release-bench}
entries=${2:-1000000}
needle="liday 12"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF \
        -DTAMBLIX_BUILD_TESTS=OFF -DTAMBLIX_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target search_bench tamblix-cli >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/search/search_bench" "$entries" "$work" | tee "$work/inmemory.txt"
inmem=$(awk -F'  +' '/^name search "/ { sub(/ ms/, "", $2); print $2 / 1000; exit }' "$work/inmemory.txt")

if command -v plocate-build >/dev/null && command -v plocate >/dev/null; then
  plocate-build -p "$work/names.txt" "$work/names.db"
fi
python3 - "$build/src/cli/tamblix-cli" "$work" "$needle" "$inmem" <<'PY'
import os, subprocess, sys, time
cli, work, needle, inmem = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
runs = {"grep -c -i -F": ["grep", "-c", "-i", "-F", needle, work + "/names.txt"]}
if os.path.exists(work + "/names.db"):
    runs["plocate -c -i"] = ["plocate", "-c", "-i", "-d", work + "/names.db", needle]
runs["tamblix-cli search"] = [cli, "--settings", work + "/settings.ini", "search",
                              work + "/catalog.txc", "--name", needle]
# The same names by a regular expression, which every name goes through.
runs["tamblix-cli search --regex"] = [cli, "--settings", work + "/settings.ini", "search",
                                      work + "/catalog.txc", "--regex", needle]
# The same names by an expression without plain text: every name goes
# through the expression, none is ruled out by its bytes first.
runs["--regex, no plain text"] = [cli, "--settings", work + "/settings.ini", "search",
                                  work + "/catalog.txc", "--regex",
                                  "".join("[%s]" % ch for ch in needle)]
# The command line's example: texts only an alternation holds, at the start.
runs["--regex '^(cd|disc) ?[0-9]+'"] = [cli, "--settings", work + "/settings.ini", "search",
                                        work + "/catalog.txc", "--regex", "^(cd|disc) ?[0-9]+"]
# No text at all that a match needs: every name goes through the expression.
runs["--regex, no text needed"] = [cli, "--settings", work + "/settings.ini", "search",
                                   work + "/catalog.txc", "--regex", "^[a-z]+ [0-9]+$"]
# The program's start alone, so that the search's own share shows.
runs["tamblix-cli --version"] = [cli, "--version"]
def once(args):
    t = time.perf_counter()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - t
times = {k: [] for k in runs}
for args in runs.values():
    once(args)
for _ in range(7):
    for k, args in runs.items():
        times[k].append(once(args))
med = {k: sorted(v)[3] for k, v in times.items()}
print("\nProcesses (median of 7, taken in turn):")
for k, v in med.items():
    print("  %-32s %8.1f ms" % (k, v * 1e3))
print("Ratios:")
print("  in-memory name search %.1f ms / grep -c -i -F: %.2fx" % (inmem * 1e3, inmem / med["grep -c -i -F"]))
if "plocate -c -i" in med:
    p = med["plocate -c -i"]
    print("  in-memory name search / plocate -c -i: %.2fx" % (inmem / p))
    print("  tamblix-cli search / plocate -c -i (both whole processes): %.2fx (target: 2x or less)"
          % (med["tamblix-cli search"] / p))
else:
    print("  (plocate not installed: no plocate figures)")
for k in ("tamblix-cli search --regex", "--regex, no plain text", "--regex '^(cd|disc) ?[0-9]+'",
          "--regex, no text needed"):
    print("  %s / --name (both whole processes): %.2fx%s"
          % (k, med[k] / med["tamblix-cli search"],
             "" if k.endswith("needed") else " (target: 3x or less)"))
print("  tamblix-cli search beyond its start (--version): %.1f ms"
      % ((med["tamblix-cli search"] - med["tamblix-cli --version"]) * 1e3))
PY
