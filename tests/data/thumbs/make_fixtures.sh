#!/bin/bash
# Builds the thumbnail fixtures with Debian's tools: ImageMagick draws an
# asymmetric picture (so that a wrong turn shows), exiftool sets orientations
# and embeds previews, libheif's encoder makes the HEIC, ffmpeg a rotated
# phone video. Beside each picture, ImageMagick's (or ffmpeg's) own small
# rendering of it as shown upright (*.ref.ppm), which the tests compare with.
# Run from anywhere; writes next to this script.
# Needs: imagemagick, libimage-exiftool-perl, libheif-examples, ffmpeg.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 600x400: a red block top left, a blue bar along the bottom, a green dot right.
draw() { # out, extra convert options...
    local out=$1
    shift
    convert -size 600x400 gradient:white-gray70 \
        -fill red -draw "rectangle 20,20 200,150" \
        -fill blue -draw "rectangle 0,340 600,400" \
        -fill green -draw "circle 520,200 520,250" "$@" "$out"
}
ref() { # picture, reference: as ImageMagick shows it upright, within 32x32
    convert "$1" -auto-orient -thumbnail 32x32 -depth 8 "ppm:$2"
}

draw "$tmp/base.png" -strip
convert "$tmp/base.png" -quality 60 -strip photo.jpg
ref photo.jpg photo.ref.ppm

# The same stored on its side, as a camera held upright writes it.
convert "$tmp/base.png" -rotate 270 -quality 60 -strip rotated.jpg
exiftool -q -overwrite_original -Orientation#=6 rotated.jpg
ref rotated.jpg rotated.ref.ppm

# A preview in the Exif block that differs from the picture (its colours are
# swapped), so that a test sees which of the two a thumbnail was made from.
convert "$tmp/base.png" -channel RB -separate -swap 0,1 -combine -resize 300x200 \
    -quality 50 -strip "$tmp/preview.jpg"
cp photo.jpg with_preview.jpg
exiftool -q -overwrite_original "-ThumbnailImage<=$tmp/preview.jpg" with_preview.jpg
ref "$tmp/preview.jpg" with_preview.ref.ppm
# A preview too small for a thumbnail is left aside.
convert "$tmp/preview.jpg" -resize 120x80 -strip "$tmp/small.jpg"
cp photo.jpg small_preview.jpg
exiftool -q -overwrite_original "-ThumbnailImage<=$tmp/small.jpg" small_preview.jpg

convert "$tmp/base.png" -rotate 90 -strip photo.png
exiftool -q -overwrite_original -Orientation#=8 photo.png
ref photo.png photo_png.ref.ppm
convert "$tmp/base.png" -quality 60 -strip photo.webp
ref photo.webp photo_webp.ref.ppm
convert "$tmp/base.png" -rotate 180 -compress lzw -strip photo.tif
exiftool -q -overwrite_original -Orientation#=3 photo.tif
ref photo.tif photo_tif.ref.ppm
heif-enc -q 40 -o photo.heic "$tmp/base.png" >/dev/null
convert "$tmp/base.png" -thumbnail 32x32 -depth 8 ppm:photo_heic.ref.ppm

# A phone's portrait video: stored 160x120 with the turn that shows it upright.
ffmpeg -v error -y -f lavfi -i "testsrc=size=160x120:rate=10:duration=2" -c:v libx264 \
    -g 100 -pix_fmt yuv420p -fflags +bitexact -flags:v +bitexact "$tmp/phone.mp4"
exiftool -q -overwrite_original -Rotation=90 "$tmp/phone.mp4"
cp "$tmp/phone.mp4" phone.mp4
ffmpeg -v error -y -i phone.mp4 -frames:v 1 -vf "scale=24:32" -pix_fmt rgb24 -f image2 \
    -c:v ppm phone.ref.ppm

# A transport stream (no index to seek by) whose one keyframe is its first
# frame: a seek a tenth in lands past it. The tests also cut its start off,
# so that no keyframe is left at all.
ffmpeg -v error -y -f lavfi -i "testsrc=size=64x48:rate=25:duration=8" -c:v libx264 -g 300 \
    -keyint_min 300 -sc_threshold 0 -pix_fmt yuv420p -fflags +bitexact -flags:v +bitexact \
    -f mpegts one_keyframe.ts
