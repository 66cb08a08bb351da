#!/bin/bash
# Times `tamblix-cli tags` over 2,000 audio files against mediainfo and
# exiftool -fast over the same files, in one run, and prints files per second
# and how many times faster the tags command is. Every handler of the default
# table is on, the stream readers (MPEG-4, Opus, Musepack, FLAC, ...) included.
# Target: at least 10 times mediainfo's files per second.
#
# Usage: bench_tags.sh PATH-TO-tamblix-cli [COUNT]
# The files are copies of the test fixtures, made in a temporary folder. To
# use a generated corpus instead, set CORPUS_SCRIPT to a script called as
# "CORPUS_SCRIPT N DIR" that writes DIR/meta/audio.lst (one audio path a line).
set -euo pipefail
cli=${1:?usage: bench_tags.sh PATH-TO-tamblix-cli [COUNT]}
count=${2:-2000}
here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../../tests/data/audio"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=()
if [ -n "${CORPUS_SCRIPT:-}" ]; then
    # About one file in a hundred of the corpus is audio.
    "$CORPUS_SCRIPT" $((count * 100)) "$work/corpus" >/dev/null 2>&1
    mapfile -t files < <(head -n "$count" "$work/corpus/meta/audio.lst")
else
    mapfile -t seeds < <(find "$fixtures" -type f ! -name '*.sh' | sort)
    mkdir -p "$work/files"
    for ((i = 0; i < count; i++)); do
        src=${seeds[$((i % ${#seeds[@]}))]}
        dst="$work/files/$(printf '%05d' "$i")_$(basename "$src")"
        cp "$src" "$dst"
        files+=("$dst")
    done
fi
n=${#files[@]}
[ "$n" -gt 0 ] || { echo "no files" >&2; exit 1; }

settings="$work/settings.ini"
"$cli" --settings "$settings" handlers --defaults >/dev/null
run_ours() { "$cli" --settings "$settings" tags "${files[@]}" >/dev/null; }
run_mediainfo() { mediainfo "${files[@]}" >/dev/null; }
run_exiftool() { exiftool -fast "${files[@]}" >/dev/null 2>&1 || true; }

# Seconds for one call, best of three, after one warm-up run (files in the page cache).
timeit() {
    "$1"
    best=
    for _ in 1 2 3; do
        s=$(date +%s.%N)
        "$1"
        e=$(date +%s.%N)
        t=$(echo "$e - $s" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

t_ours=$(timeit run_ours)
t_mi=$(timeit run_mediainfo)
t_ex=$(timeit run_exiftool)
rate() { echo "scale=0; $n / $1" | bc -l; }
printf '%-22s %8s s  %8s files/s\n' "tamblix-cli tags" "$t_ours" "$(rate "$t_ours")"
printf '%-22s %8s s  %8s files/s\n' "mediainfo" "$t_mi" "$(rate "$t_mi")"
printf '%-22s %8s s  %8s files/s\n' "exiftool -fast" "$t_ex" "$(rate "$t_ex")"
faster=$t_mi
if [ "$(echo "$t_ex < $t_mi" | bc -l)" = 1 ]; then faster=$t_ex; fi
printf 'files: %d\n' "$n"
printf 'ratio vs mediainfo: %.1fx (target 10x)  vs exiftool: %.1fx  vs the faster: %.1fx\n' \
    "$(echo "$t_mi / $t_ours" | bc -l)" "$(echo "$t_ex / $t_ours" | bc -l)" \
    "$(echo "$faster / $t_ours" | bc -l)"
