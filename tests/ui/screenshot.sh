#!/usr/bin/env bash
# Screenshots of the desktop program under a virtual X server: the first start
# (no catalog yet) with its new-volume dialog; then, with a sample catalog made
# by tamblix-cli, the main window in each tab and in the list style, the space
# view, the search window in German, the main window in French, Japanese and Arabic
# (Japanese needs a CJK font: fonts-noto-cjk), the thumbnail grid of a camera's
# photos, the delete question and the new-volume dialog.
# Usage: tests/ui/screenshot.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
out=$(realpath -m "${2:-screenshots}")
cli="$build/src/cli/tamblix-cli"
gui="$build/src/app/tamblix"
for p in "$cli" "$gui"; do
  [ -x "$p" ] || { echo "missing $p: build first (scripts/run.sh or cmake --build)" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two small volumes of folders and files.
mk() { mkdir -p "$(dirname "$1")"; head -c "$2" /dev/zero > "$1"; }
src1="$work/Holiday 2024"
mk "$src1/Music/Jazz/01 Take Five.mp3" 4800000
mk "$src1/Music/Jazz/02 So What.mp3" 5600000
mk "$src1/Music/Jazz/03 Blue in Green.mp3" 3300000
mk "$src1/Music/Rock/Highway.mp3" 3900000
mk "$src1/Photos/beach.jpg" 2400000
mk "$src1/Photos/sunset.jpg" 1900000
mk "$src1/Photos/harbour.png" 3100000
mk "$src1/Documents/itinerary.pdf" 180000
mk "$src1/Documents/notes.txt" 2400
mk "$src1/readme.txt" 900
(cd "$src1/Documents" && zip -q ../documents.zip itinerary.pdf notes.txt)
src2="$work/Backup"
mk "$src2/Projects/site/index.html" 12000
mk "$src2/Projects/site/style.css" 3000
mk "$src2/Mail/archive.mbox" 7000000

# A larger volume for the space view, of sparse files that take no room here.
src3="$work/Media Library"
sp() { mkdir -p "$(dirname "$1")"; truncate -s "$2" "$1"; }
for album in "Miles Quartet/Blue Rooms" "Nordic Strings/Winter Light" "The Lanterns/Harbour"; do
  for t in $(seq 1 10); do
    sp "$src3/Music/$album/$(printf %02d "$t") Track $t.flac" $(( (t * 7 % 11 + 18) * 1000000 ))
  done
done
sp "$src3/Video/Sailing the Fjords.mkv" 1400000000
sp "$src3/Video/Family Day 2023.mp4" 820000000
for i in $(seq 1 6); do sp "$src3/Video/Clips/clip$i.mp4" $(( i * 23000000 )); done
for i in $(seq 1 48); do sp "$src3/Photos/2023/IMG_$((4000 + i)).jpg" $(( (i * 37 % 23 + 3) * 400000 )); done
for i in $(seq 1 30); do sp "$src3/Photos/2024/DSC_$((100 + i)).png" $(( (i * 13 % 17 + 4) * 900000 )); done
sp "$src3/Software/debian-12-netinst.img" 650000000
sp "$src3/Software/tools.dmg" 120000000
sp "$src3/Software/setup.exe" 48000000
sp "$src3/Documents/Manuals/camera.pdf" 18000000
sp "$src3/Documents/Manuals/boat engine.pdf" 9000000
sp "$src3/Documents/taxes 2023.ods" 2500000
for i in $(seq 1 300); do sp "$src3/Projects/notes/note-$i.txt" $(( i * 131 % 9000 + 200 )); done

# Photos and a phone video with thumbnails: pictures drawn by ImageMagick, one
# stored on its side as a camera held upright writes it.
src4="$work/Camera"
mkdir -p "$src4/DCIM"
i=0
for look in "plasma:steelblue-khaki" "plasma:seagreen-lightyellow" "gradient:orange-purple" \
            "plasma:tomato-gold" "radial-gradient:white-navy" "plasma:skyblue-white" \
            "gradient:teal-lightgray" "plasma:darkgreen-wheat" "plasma:coral-lavender" \
            "radial-gradient:gold-firebrick" "plasma:slategray-ivory" "gradient:pink-indigo"; do
  i=$((i + 1))
  convert -seed "$i" -size 1200x800 "$look" -fill 'rgba(255,255,255,0.35)' \
    -draw "circle $((200 + i * 60)),400 $((260 + i * 60)),460" -quality 85 \
    "$src4/DCIM/IMG_$((2400 + i)).jpg"
done
convert -seed 20 -size 800x1200 plasma:navy-lightcyan -quality 85 "$src4/DCIM/IMG_2413.jpg"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=3" -c:v libx264 \
  -pix_fmt yuv420p "$src4/DCIM/VID_2414.mp4"

export TZ=UTC
"$cli" --settings "$work/cli.ini" scan "$work/sample.TXC" "$src4" --title "Camera" \
  --thumbnails --no-serial-check >/dev/null
"$cli" --settings "$work/cli.ini" scan "$work/sample.TXC" "$src1" --title "Holiday 2024" \
  --category Travel --to-folders --no-serial-check >/dev/null
"$cli" --settings "$work/cli.ini" scan "$work/sample.TXC" "$src2" --title "Backup Disc" \
  --no-serial-check >/dev/null
"$cli" --settings "$work/cli.ini" scan "$work/sample.TXC" "$src3" --title "Media Library" \
  --no-serial-check >/dev/null

mkdir -p "$out/first"
XDG_CONFIG_HOME="$work/first-config" XDG_DATA_HOME="$work/first-data" TAMBLIX_SCREENSHOTS="$out/first" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$gui" --settings "$work/first.ini"
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" TAMBLIX_SCREENSHOTS="$out" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$gui" --settings "$work/gui.ini" "$work/sample.TXC"
ls "$out"/*.png "$out"/first/*.png
