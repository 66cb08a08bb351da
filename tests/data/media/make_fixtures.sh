#!/bin/bash
# Builds the video and photo fixtures with Debian's tools: ffmpeg for every
# video container the Video handler claims (one second of test picture and
# tone, tiny frames), ImageMagick for pictures and exiftool for their EXIF and
# GPS tags. Run from anywhere; writes next to this script.
# Needs: ffmpeg, imagemagick, libimage-exiftool-perl, libheif-examples.
set -euo pipefail
cd "$(dirname "$0")"

video() { # out, picture size, video codec, audio codec, extra options...
    local out=$1 size=$2 vcodec=$3 acodec=$4
    shift 4
    ffmpeg -v error -y -f lavfi -i "testsrc=size=$size:rate=25:duration=1" \
        -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=1" \
        -map 0:v -map 1:a -c:v "$vcodec" -c:a "$acodec" -ac 1 -b:v 40k \
        -fflags +bitexact -flags:v +bitexact -flags:a +bitexact "$@" "$out"
}

video clip.mp4 64x48 libx264 aac -metadata title="Harbour at dawn" -metadata artist="Ann Example" \
    -metadata date=2021 -metadata comment="Test clip"
video clip.m4v 64x48 libx264 aac -f mp4
video clip.mov 64x48 libx264 aac -metadata title="Harbour at dawn"
video clip.mkv 64x48 libx264 flac -metadata title="Harbour at dawn" -metadata artist="Ann Example"
video clip.webm 64x48 libvpx libvorbis -b:v 50k
video clip.avi 64x48 mpeg4 mp2 -b:v 40k -metadata title="Harbour at dawn"
video clip.mpg 64x48 mpeg1video mp2 -f mpeg
video clip.vob 64x48 mpeg2video mp2 -f vob
video clip.ts 64x48 mpeg2video mp2 -f mpegts
video clip.m2ts 64x48 mpeg2video ac3 -f mpegts -mpegts_m2ts_mode 1
video clip.wmv 64x48 wmv2 wmav2 -metadata title="Harbour at dawn" -metadata author="Ann Example"
video clip.asf 64x48 msmpeg4v3 wmav2
video clip.flv 64x48 flv1 libmp3lame -ar 22050
video clip.3gp 128x96 h263 aac

# What phones and cameras write: when they recorded, and a portrait picture
# stored on its side with the turn that shows it upright (ffmpeg of this
# Debian writes no display matrix; exiftool does).
video recorded.mov 64x48 libx264 aac -metadata creation_time=2023-08-14T06:30:00Z
video recorded.mkv 64x48 libx264 flac -metadata creation_time=2022-02-03T04:05:06Z
video portrait.mp4 64x48 libx264 aac -metadata creation_time=2024-05-17T14:03:09Z
exiftool -q -overwrite_original -Rotation=90 portrait.mp4
video upside_down.3gp 128x96 h263 aac -metadata creation_time=2020-10-11T12:13:14Z
exiftool -q -overwrite_original -Rotation=180 upside_down.3gp

# A film without sound, and sound without a picture, in the same containers.
ffmpeg -v error -y -f lavfi -i "testsrc=size=64x48:rate=30000/1001:duration=1" -c:v libx264 \
    -fflags +bitexact -flags:v +bitexact silent.mp4
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1" -ac 2 -c:a flac \
    -fflags +bitexact -flags:a +bitexact sound_only.mkv

# Photos: a gradient, then the tags a camera writes.
tags=(-Make="Example Optics" -Model="EX-100" -LensModel="EX 35mm F1.8"
      -DateTimeOriginal="2024:05:17 14:03:09" -ExposureTime=1/250 -FNumber=2.8 -ISO=400
      -FocalLength=35 -Orientation#=6
      -GPSLatitude=48.858222 -GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=W)
for ext in jpg tif png webp; do
    convert -size 80x60 gradient:red-blue -depth 8 -compress zip -strip "photo.$ext"
    exiftool -q -overwrite_original "${tags[@]}" "photo.$ext"
done
# HEIF and AVIF by libheif's encoder (its HEIC is coded 80x64 and cropped to 80x60).
tmp=$(mktemp -d)
convert -size 80x60 gradient:red-blue -depth 8 -strip "$tmp/photo.png"
heif-enc -q 50 -o photo.heic "$tmp/photo.png" >/dev/null
heif-enc --avif -q 50 -o photo.avif "$tmp/photo.png" >/dev/null
rm -rf "$tmp"
exiftool -q -overwrite_original "${tags[@]}" photo.heic photo.avif
# South and east, a long exposure, no lens.
convert -size 40x30 gradient:green-white -strip south.jpg
exiftool -q -overwrite_original -Make="Example Optics" -Model="EX-10" \
    -DateTimeOriginal="2019:12:31 23:59:59" -ExposureTime=2 -FNumber=8 -ISO=100 \
    -GPSLatitude=33.856159 -GPSLatitudeRef=S -GPSLongitude=151.215256 -GPSLongitudeRef=E south.jpg
# A phone's fractions of a second and offset from UTC; a scan that has only
# the time it was digitized. Both were changed later (ModifyDate).
convert -size 40x30 gradient:blue-white -strip phone.jpg
exiftool -q -overwrite_original -Make="Example Phones" -Model="P-7" \
    -ModifyDate="2024:06:01 08:00:00" -DateTimeOriginal="2024:05:17 14:03:09" \
    -SubSecTimeOriginal=042 -OffsetTimeOriginal=+02:00 -CreateDate="2024:05:17 14:03:10" phone.jpg
convert -size 40x30 gradient:blue-white -strip scanned.jpg
exiftool -q -overwrite_original -ModifyDate="2024:06:01 08:00:00" -OffsetTime=-05:00 \
    -CreateDate="1998:07:04 10:20:30" -SubSecTimeDigitized=5 -OffsetTimeDigitized=-04:00 scanned.jpg
# No metadata at all: only the size comes from the picture itself.
convert -size 32x24 xc:gray -strip plain.jpg
convert -size 32x24 xc:gray -strip plain.heic
