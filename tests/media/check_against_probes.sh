#!/bin/bash
# Compares what `tamblix-cli tags` reports for every video and photo fixture
# with what ffprobe and exiftool read from the same file.
# Usage: check_against_probes.sh PATH-TO-tamblix-cli
# Exit status 0 when all agree, 1 when a value differs, 77 (skipped) without the tools.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:?usage: $0 PATH-TO-tamblix-cli}
for tool in ffprobe exiftool; do
    command -v "$tool" >/dev/null || { echo "$tool not installed: skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CLI="$cli" SETTINGS="$work/settings.ini" FIXTURES="$here/../data/media"
exec python3 - <<'PYEOF'
import glob, json, os, subprocess, sys

cli, settings, fixtures = os.environ["CLI"], os.environ["SETTINGS"], os.environ["FIXTURES"]
videos = {".mp4", ".m4v", ".mov", ".mkv", ".webm", ".avi", ".mpg", ".vob", ".ts", ".m2ts",
          ".wmv", ".asf", ".flv", ".3gp"}
photos = {".jpg", ".tif", ".png", ".webp", ".heic", ".avif"}

def ours(path):
    out = subprocess.run([cli, "--settings", settings, "tags", path],
                         capture_output=True, text=True, check=True).stdout
    return dict(line.strip().partition("=")[::2] for line in out.splitlines()[1:])

diffs = compared = 0
def check(name, key, mine, theirs, close=None):
    global diffs, compared
    compared += 1
    if theirs in (None, "", 0, "0"):
        ok = key not in mine
    elif close is not None:
        ok = key in mine and abs(float(mine[key]) - float(theirs)) <= close(float(theirs))
    else:
        ok = mine.get(key) == str(theirs)
    if not ok:
        diffs += 1
        print(f"{name}: {key}: ours {mine.get(key)!r}, theirs {theirs!r}")

def rate(text):
    num, _, den = (text or "0/0").partition("/")
    return float(num) / float(den) if den and float(den) else 0

def video(path, name, mine):
    j = json.loads(subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries",
         "format=duration,bit_rate:format_tags:stream=codec_type,codec_name,width,height,"
         "avg_frame_rate,r_frame_rate,channels,sample_rate:stream_side_data=rotation",
         "-of", "json", path],
        capture_output=True, text=True, check=True).stdout)
    fmt = j["format"]
    v = next((s for s in j["streams"] if s["codec_type"] == "video"), {})
    a = next((s for s in j["streams"] if s["codec_type"] == "audio"), {})
    check(name, "DurationSec", mine, fmt.get("duration"), lambda t: 0.03)
    # ffprobe gives the display matrix's counter-clockwise angle; ours is the
    # clockwise turn, with the size as shown.
    ccw = next((int(d["rotation"]) for d in v.get("side_data_list", []) if "rotation" in d), 0)
    turn = -ccw % 360
    check(name, "Rotation", mine, turn)
    wide, high = (v.get("height"), v.get("width")) if turn in (90, 270) else (v.get("width"), v.get("height"))
    check(name, "Width", mine, wide)
    check(name, "Height", mine, high)
    fps = rate(v.get("avg_frame_rate")) or rate(v.get("r_frame_rate"))
    check(name, "FrameRate", mine, round(fps, 3) if v else None, lambda t: 0.01)
    check(name, "VideoCodec", mine, v.get("codec_name"))
    check(name, "AudioCodec", mine, a.get("codec_name"))
    check(name, "Channels", mine, a.get("channels"))
    check(name, "SampleRateHZ", mine, a.get("sample_rate"))
    # Ours comes from the header or the file's size over its length: a few per cent off.
    kbs = int(fmt["bit_rate"]) / 1000 if fmt.get("bit_rate") else None
    check(name, "BitRateKBS", mine, kbs, lambda t: 0.05 * t + 1)
    tags = {k.lower(): v for k, v in fmt.get("tags", {}).items()}
    for key, tag in (("Title", "title"), ("Artist", "artist"), ("Comments", "comment")):
        check(name, key, mine, tags.get(tag))
    # A date tag, else when it was recorded: "2024-05-17T14:03:09.000000Z" as ISO 8601 UTC.
    recorded = tags.get("creation_time")
    if recorded:
        stamp, _, fraction = recorded.rstrip("Z").partition(".")
        fraction = fraction.rstrip("0")
        recorded = stamp + ("." + fraction if fraction else "") + "Z"
    check(name, "Date", mine, tags.get("date") or recorded)

def photo(path, name, ext, mine):
    j = json.loads(subprocess.run(["exiftool", "-j", "-n", path], capture_output=True,
                                  text=True, check=True).stdout)[0]
    # Taken, else digitized, else changed; with fractions and offset when written.
    date = next((j[k] for k in ("SubSecDateTimeOriginal", "DateTimeOriginal", "SubSecCreateDate",
                                "CreateDate", "SubSecModifyDate", "ModifyDate") if j.get(k)), None)
    check(name, "DateTaken", mine, date and date[:10].replace(":", "-") + "T" + date[11:])
    check(name, "Width", mine, j.get("ImageWidth"))
    check(name, "Height", mine, j.get("ImageHeight"))
    for key, tag in (("CameraMake", "Make"), ("CameraModel", "Model"), ("Lens", "LensModel"),
                     ("ISO", "ISO"), ("Orientation", "Orientation")):
        check(name, key, mine, j.get(tag))
    for key, tag in (("FNumber", "FNumber"), ("FocalLength", "FocalLength"),
                     ("GPSLatitude", "GPSLatitude"), ("GPSLongitude", "GPSLongitude")):
        check(name, key, mine, j.get(tag), lambda t: 1e-6 + abs(t) * 1e-9)
    exposure = j.get("ExposureTime")
    if exposure:
        mine_exp = mine.get("ExposureTime", "")
        num, _, den = mine_exp.partition("/")
        value = float(num) / float(den) if den else float(num or "nan")
        check(name, "ExposureTime", {"ExposureTime": value}, exposure, lambda t: t * 1e-3)

for path in sorted(glob.glob(os.path.join(fixtures, "*"))):
    name, ext = os.path.basename(path), os.path.splitext(path)[1].lower()
    if ext in videos:
        video(path, name, ours(path))
    elif ext in photos:
        photo(path, name, ext, ours(path))
print(f"{compared} values compared, {diffs} differ")
sys.exit(1 if diffs or compared < 250 else 0)
PYEOF
