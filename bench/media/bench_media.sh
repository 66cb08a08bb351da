#!/bin/bash
# Times `tamblix-cli tags` on video files against mediainfo, and on photos
# against exiftool -fast, each over the same files in one batched run, every
# program as its own process timed the same way (best of three after a warm-up,
# files in the page cache). Prints files per second and the ratios.
# Targets: at least 2x mediainfo on video, at least 2x exiftool -fast on photos.
#
# Usage: bench_media.sh PATH-TO-tamblix-cli [COUNT]
# The files are COUNT copies of the video and of the photo fixtures, made in a
# temporary folder (copies, so that no reader gains from a file read just before).
set -euo pipefail
cli=$(realpath "${1:?usage: bench_media.sh PATH-TO-tamblix-cli [COUNT]}")
count=${2:-1000}
here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../../tests/data/media"
for tool in mediainfo exiftool python3; do
    command -v "$tool" >/dev/null || { echo "$tool not installed" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

copies() { # KIND PATTERN...: writes COUNT copies to $work/KIND, one path a line to $work/KIND.lst
    local kind=$1
    shift
    mkdir -p "$work/$kind"
    local seeds=()
    for p in "$@"; do seeds+=("$fixtures"/$p); done
    for ((i = 0; i < count; i++)); do
        local src=${seeds[$((i % ${#seeds[@]}))]}
        local dst="$work/$kind/$(printf '%05d' "$i")_$(basename "$src")"
        cp "$src" "$dst"
        echo "$dst"
    done > "$work/$kind.lst"
}
copies video 'clip.*' silent.mp4 sound_only.mkv
copies photo 'photo.*' south.jpg plain.jpg plain.heic

"$cli" --settings "$work/settings.ini" handlers --defaults >/dev/null
export CLI="$cli" SETTINGS="$work/settings.ini" WORK="$work"
python3 - <<'PYEOF'
import os, subprocess, time

cli, settings, work = os.environ["CLI"], os.environ["SETTINGS"], os.environ["WORK"]

def best(cmd):
    # One warm-up, then the best of three: the machine may be shared.
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    times = []
    for _ in range(3):
        start = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times)

for kind, peer_name, peer in (("video", "mediainfo", ["mediainfo"]),
                              ("photo", "exiftool -fast", ["exiftool", "-fast"])):
    files = open(os.path.join(work, kind + ".lst")).read().split()
    ours = best([cli, "--settings", settings, "tags"] + files)
    theirs = best(peer + files)
    n = len(files)
    print(f"{kind}: {n} files")
    print(f"  {'tamblix-cli tags':18} {ours:8.3f} s {n / ours:9.0f} files/s")
    print(f"  {peer_name:18} {theirs:8.3f} s {n / theirs:9.0f} files/s")
    print(f"  ratio {theirs / ours:.1f}x (target 2x)")
PYEOF
