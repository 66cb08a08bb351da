#!/bin/bash
# Compares, field by field, what `tamblix-cli tags` reports for every audio
# fixture with what ffprobe reads from the same file: duration, sample rate,
# channels, bit rate, and the title, artist, album, year, track and genre.
# Usage: check_against_ffprobe.sh PATH-TO-tamblix-cli
# Exit status 0 when all agree, 1 when a value differs, 77 (skipped) without ffprobe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:?usage: $0 PATH-TO-tamblix-cli}
command -v ffprobe >/dev/null || { echo "ffprobe not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CLI="$cli" SETTINGS="$work/settings.ini" FIXTURES="$here/../data/audio"
exec python3 - <<'PYEOF'
import glob, json, os, subprocess, sys

cli, settings, fixtures = os.environ["CLI"], os.environ["SETTINGS"], os.environ["FIXTURES"]

def ours(path, handler=None):
    args = [cli, "--settings", settings, "tags"] + (["--handler", handler] if handler else []) + [path]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    return dict(line.strip().partition("=")[::2] for line in out.splitlines()[1:])

def probe(path):
    r = subprocess.run(["ffprobe", "-v", "error", "-count_packets", "-show_data", "-show_entries",
                        "format=duration,bit_rate:format_tags:stream=codec_name,sample_rate,channels,"
                        "bit_rate,nb_read_packets,extradata:stream_tags", "-of", "json", path],
                       capture_output=True, text=True, check=True)
    return json.loads(r.stdout)

def extradata(s):
    # ffprobe's hex dump: offset, eight groups of four hex digits, text.
    hexes = "".join(line.split(":", 1)[1][:41].replace(" ", "") for line in
                    s.get("extradata", "").strip().splitlines() if ":" in line)
    return bytes.fromhex(hexes)

# Where ffprobe and we differ by design, with the value we must report instead.
# ffprobe says "using bitrate for duration" for this file (it takes the ID3v1 tag
# after the stream for a concatenated file); its Xing header counts 41 frames
# of 576 samples at 22,050 Hz, and 13 kbit/s from its byte count.
expected = {("mp3_vbr_v24_utf8.mp3", "duration"): 41 * 576 / 22050,
            ("mp3_vbr_v24_utf8.mp3", "kbs"): 13}
# ffprobe estimates the length of ADTS streams from their bit rate, tags included;
# we count frames, as its packet count does.
estimated = {".aac"}
# ffprobe reads no APE tag on MPEG audio (it shows the ID3v1 title under it), and
# takes ID3v1 Latin-1 text for UTF-8.
no_tags = {"apev2_tagged.mp3", "mp3_cbr_id3v1.mp3"}
# Our WavPack and Musepack bit rates leave the tags out; ffprobe has none for them.
own_kbs = {".wv", ".mpc"}

# Formats whose tags are Vorbis comments.
vorbis_comments = {".flac", ".ogg", ".oga", ".opus"}
# Comments where an encoder wrote them outside the standard field.
comment_elsewhere = {"mp3_txxx_comment.mp3", "wma_extended.wma"}

# Steps that report stream values for files whose default handler reads tags only.
stream_handler = {".mp3": "MPG", ".mp2": "MPG"}
diffs = compared = 0
for path in sorted(glob.glob(os.path.join(fixtures, "*"))):
    name, ext = os.path.basename(path), os.path.splitext(path)[1].lower()
    if ext == ".sh":
        continue
    mine, tagged = ours(path, stream_handler.get(ext)), ours(path)
    j = probe(path)
    s, f = j["streams"][0], j["format"]
    rows = []
    def row(what, got, want, good):
        rows.append((what, got, want, good))

    if "duration" in f:
        d = float(mine.get("DurationSec", "0"))
        want = expected.get((name, "duration"))
        if want is None and ext in estimated:
            # ffprobe estimates it from the bit rate, tags included: its packets tell exactly.
            want = int(s["nb_read_packets"]) * 1024 / int(s["sample_rate"])
        elif want is None:
            want = float(f["duration"])
            if s.get("codec_name") == "opus":
                # ffprobe's length counts the pre-skip samples (OpusHead bytes 10-11) too.
                want -= int.from_bytes(extradata(s)[10:12], "little") / 48000
        row("duration", d, want, abs(d - want) <= 1e-6)
    row("sample rate", mine.get("SampleRateHZ"), s["sample_rate"],
        mine.get("SampleRateHZ") == s["sample_rate"])
    modes = {"Mono": "1", "Stereo": "2", "Joint Stereo": "2", "Dual Channel": "2"}
    ch = mine.get("Channels") or mine.get("ChannelModeid") or modes.get(mine.get("ChannelModeName"))
    row("channels", ch, s["channels"], ch is not None and int(ch) == s["channels"])
    if "BitRateKBS" in mine and ext not in own_kbs:
        want = expected.get((name, "kbs"))
        if want is None:
            # Stream bit rates where the container has them, else the whole file's.
            br = s.get("bit_rate") if ext not in (".ogg", ".opus") else None
            want = round(int(br or f["bit_rate"]) / 1000)
        row("bit rate", mine["BitRateKBS"], want, int(mine["BitRateKBS"]) == want)

    if name not in no_tags:
        t = {k.lower(): v for k, v in {**f.get("tags", {}), **s.get("tags", {})}.items()}
        def tag(*keys):
            return next((t[k] for k in keys if k in t), "")
        refs = {"Title": tag("title"), "Artist": tag("artist", "author"), "Album": tag("album"),
                "Genre": tag("genre"), "Track": tag("track").split("/")[0],
                "Year": tag("date", "year", "wm/year")}
        if ext in vorbis_comments:
            # ffprobe joins a repeated field with ";", we with " / ", each value once; it
            # reads DESCRIPTION as the comment, as we do when there is no COMMENT.
            for key in ("Title", "Artist", "Album", "Genre"):
                refs[key] = " / ".join(dict.fromkeys(v for v in refs[key].split(";") if v))
        if ext in vorbis_comments or name in comment_elsewhere:
            refs["Comments"] = tag("comment")
        for key, want in refs.items():
            got = tagged.get(key, "")
            # Year: the whole date where the tag keeps one, its year where the format has a year.
            good = got == want or (key == "Year" and got == want[:4])
            if want or got:
                row(key, got or "-", want or "-", good)
    for what, a, b, good in rows:
        compared += 1
        diffs += not good
        print(f"{'ok  ' if good else 'DIFF'} {name:22} {what:12} ours={a}  ffprobe={b}")
print(f"{compared} values compared, {diffs} differ")
sys.exit(1 if diffs or compared == 0 else 0)
PYEOF
