#!/bin/bash
# Thumbnails per second of processor time (per core) of 12-megapixel JPEGs
# with and without an embedded preview, and of 720p H.264 videos, against
# ImageMagick's `convert -thumbnail` (photos) and ffmpegthumbnailer (videos)
# on the same files, each tool's processor time taken the same way (the sum
# of user and system time of its processes, files in the page cache).
# Targets: photos with previews 150/s, without 40/s, videos 15/s, and at
# least 3x the other tools' rates.
#
# Usage: bench_thumbs.sh PATH-TO-bench_thumbs [COUNT]
set -euo pipefail
bench=$(realpath "${1:?usage: bench_thumbs.sh PATH-TO-bench_thumbs [COUNT]}")
count=${2:-12}
for tool in convert exiftool ffmpeg ffmpegthumbnailer; do
    command -v "$tool" >/dev/null || { echo "$tool not installed" >&2; exit 1; }
done
# THUMB_BENCH_DIR keeps the files made for another run (they take minutes to make).
if [ -n "${THUMB_BENCH_DIR:-}" ]; then
    work=$THUMB_BENCH_DIR
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/plain" "$work/preview" "$work/video" "$work/out"

# 4000x3000 pictures with detail (noise over gradients), as a camera's JPEG.
for ((i = 0; i < count; i++)); do
    [ -f "$work/preview/p$i.jpg" ] && continue
    convert -seed "$i" -size 4000x3000 "plasma:" -quality 90 "$work/plain/p$i.jpg"
    convert "$work/plain/p$i.jpg" -resize 320x240 -quality 75 "$work/small.jpg"
    cp "$work/plain/p$i.jpg" "$work/preview/p$i.jpg"
    exiftool -q -overwrite_original "-ThumbnailImage<=$work/small.jpg" "$work/preview/p$i.jpg"
done
for ((i = 0; i < count / 2 + 1; i++)); do
    [ -f "$work/video/v$i.mp4" ] && continue
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=20" -c:v libx264 \
        -preset veryfast -g 60 -pix_fmt yuv420p "$work/video/v$i.mp4"
done

# CPU seconds (user + system) of a command and its children.
cpu() {
    local me=$BASHPID before after
    before=$(awk '{print $16 + $17}' "/proc/$me/stat")
    "$@" >/dev/null 2>&1 || true
    after=$(awk '{print $16 + $17}' "/proc/$me/stat")
    echo "scale=3; ($after - $before) / $(getconf CLK_TCK)" | bc
}
rate() { echo "scale=1; $1 / $2" | bc; }

for kind in preview plain video; do
    files=("$work/$kind"/*)
    n=${#files[@]}
    "$bench" --rounds 1 "${files[@]}" >/dev/null # warm the page cache
    ours=$("$bench" --rounds 3 "${files[@]}")
    echo "tamblix ($kind): $ours"
    if [ "$kind" = video ]; then
        t=$(cpu bash -c 'for f in "$@"; do ffmpegthumbnailer -s 256 -q 8 -i "$f" -o "'"$work"'/out/x.jpg"; done' _ "${files[@]}")
        echo "ffmpegthumbnailer ($kind): $n files in $t CPU s, $(rate "$n" "$t") files per CPU second"
    else
        t=$(cpu bash -c 'for f in "$@"; do convert "$f" -thumbnail 256x256 "'"$work"'/out/x.jpg"; done' _ "${files[@]}")
        echo "convert -thumbnail ($kind): $n files in $t CPU s, $(rate "$n" "$t") files per CPU second"
    fi
done
