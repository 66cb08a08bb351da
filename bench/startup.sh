#!/usr/bin/env bash
# Start-up cost of both programs against `true` and `plocate --version`: the
# median wall and CPU time of RUNS (default 9) spawns of each, taken in turn,
# each a process of its own, with how many shared libraries each loads.
#   bench/startup.sh [BUILD_DIR]
# CLI and DESKTOP in the environment time other builds of the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/release}
if [ -z "${CLI:-}" ]; then
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_TESTS=OFF \
      -DTAMBLIX_BUILD_BENCH=OFF >/dev/null
  fi
  cmake --build "$BUILD" --target tamblix-cli tamblix >/dev/null
  CLI=$PWD/$BUILD/src/cli/tamblix-cli
  DESKTOP=${DESKTOP:-$PWD/$BUILD/src/app/tamblix}
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# A small catalog: one volume of this project's test data (whose damaged
# archives make the scan end with status 3).
"$CLI" --settings "$WORK/settings.ini" scan "$WORK/small.txc" tests/data --no-serial-check \
  >/dev/null 2>&1 || [ -s "$WORK/small.txc" ]
export CLI DESKTOP="${DESKTOP:-}" WORK RUNS="${RUNS:-9}"
exec python3 - <<'PYEOF'
import os, shutil, statistics, subprocess, time

cli, desktop, work, runs = (os.environ[k] for k in ("CLI", "DESKTOP", "WORK", "RUNS"))
env = dict(os.environ, TZ="UTC", TAMBLIX_SETTINGS=os.path.join(work, "settings.ini"),
           QT_QPA_PLATFORM="offscreen", TAMBLIX_QUIT_WHEN_SHOWN="1")
cases = [("true", ["true"])]
if shutil.which("plocate"):
    cases.append(("plocate --version", ["plocate", "--version"]))
cases += [("tamblix-cli --version", [cli, "--version"]),
          ("tamblix-cli info CATALOG", [cli, "info", os.path.join(work, "small.txc")])]
if desktop and os.path.exists(desktop):
    cases.append(("tamblix to its first window (offscreen)", [desktop]))

def spawn(args):
    """Wall and CPU seconds of one run, as its own process."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        pid = os.posix_spawnp(args[0], args, env, file_actions=[
            (os.POSIX_SPAWN_DUP2, null.fileno(), 1), (os.POSIX_SPAWN_DUP2, null.fileno(), 2)])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"{' '.join(args)} failed")
    return wall, usage.ru_utime + usage.ru_stime

def libraries(args):
    path = shutil.which(args[0])
    out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
    return sum(1 for line in out.splitlines() if "=>" in line or line.strip().startswith("/"))

for _, args in cases:  # warm the caches
    spawn(args)
walls = {name: [] for name, _ in cases}
cpus = {name: [] for name, _ in cases}
for _ in range(int(runs)):
    for name, args in cases:
        wall, cpu = spawn(args)
        walls[name].append(wall)
        cpus[name].append(cpu)
floor = statistics.median(walls["true"])
print(f"{'':42} {'wall ms':>8} {'CPU ms':>8} {'- true':>8} {'libs':>5}   (median of {runs})")
for name, args in cases:
    wall, cpu = statistics.median(walls[name]), statistics.median(cpus[name])
    print(f"{name:42} {wall * 1000:8.1f} {cpu * 1000:8.1f} {(wall - floor) * 1000:8.1f} "
          f"{libraries(args):5}")
PYEOF
