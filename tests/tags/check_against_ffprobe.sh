#!/bin/bash
# Compares what `tamblix-cli tags` reports for every audio fixture with what
# ffprobe (duration, sample rate, channels, bit rate) and mutagen (artist,
# title, album, year, track, genre) read from the same file.
# Usage: check_against_ffprobe.sh [PATH-TO-tamblix-cli]  (or TAMBLIX_CLI=...)
# Exit status 1 when any value differs. Not part of the test suite: it needs
# ffprobe and python3-mutagen, and some differences are expected (see below).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-${TAMBLIX_CLI:-}}
if [ -z "$cli" ] || [ ! -x "$cli" ]; then
    echo "usage: $0 PATH-TO-tamblix-cli" >&2
    exit 2
fi
settings=$(mktemp)
trap 'rm -f "$settings"' EXIT
export CLI="$cli" SETTINGS="$settings" FIXTURES="$here/../data/audio"
exec /usr/bin/python3 - <<'PYEOF'
import glob, json, os, subprocess, sys
import mutagen
import mutagen.asf
from mutagen.easyid3 import EasyID3

cli, settings, fixtures = os.environ["CLI"], os.environ["SETTINGS"], os.environ["FIXTURES"]

def ours(path, handler=None):
    args = [cli, "--settings", settings, "tags"] + (["--handler", handler] if handler else []) + [path]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    vals = {}
    for line in out.splitlines()[1:]:
        k, _, v = line.strip().partition("=")
        vals[k] = v
    return vals

def probe(path):
    r = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                        "format=duration,bit_rate:stream=sample_rate,channels,bit_rate",
                        "-of", "json", path], capture_output=True, text=True, check=True)
    j = json.loads(r.stdout)
    s = j["streams"][0]
    f = j["format"]
    br = s.get("bit_rate") or f.get("bit_rate")
    return {"duration": float(f["duration"]), "rate": int(s["sample_rate"]),
            "channels": int(s["channels"]), "kbs": round(int(br) / 1000) if br else None}

def tags(path):
    with open(path, "rb") as fh:
        head = fh.read(3)
    try:
        t = EasyID3(path) if head == b"ID3" else mutagen.File(path, easy=True)
    except Exception:
        t = mutagen.File(path, easy=True)
    if t is None:
        return {}
    if isinstance(t, mutagen.asf.ASF):  # no easy keys for ASF
        a = t.tags or {}
        get = lambda *ks: next((str(a[k][0]) for k in ks if k in a and a[k]), "")
        return {"Artist": get("Author"), "Title": get("Title"), "Album": get("WM/AlbumTitle"),
                "Year": get("WM/Year")[:4], "Track": get("WM/TrackNumber"),
                "Genre": get("WM/Genre")}
    t = t if isinstance(t, EasyID3) else (t.tags or {})
    first = lambda k: str(t[k][0]) if k in t and t[k] else ""
    track = first("tracknumber").split("/")[0]
    return {"Artist": first("artist"), "Title": first("title"), "Album": first("album"),
            "Year": first("date")[:4], "Track": track if track not in ("", "0") else "",
            "Genre": first("genre")}

# The handler whose stream values are compared (the MP3 handler reads only tags).
stream_handler = {".mp3": "MPG", ".mp2": "MPG"}
diffs = 0
for path in sorted(glob.glob(os.path.join(fixtures, "*"))):
    ext = os.path.splitext(path)[1].lower()
    if ext in (".sh",):
        continue
    name = os.path.basename(path)
    mine = ours(path, stream_handler.get(ext))
    ref = probe(path)
    rows = []
    d = float(mine.get("DurationSec", "0"))
    ok = abs(d - ref["duration"]) <= max(0.01 * ref["duration"], 0.1)
    rows.append(("duration", f"{d:.3f}", f"{ref['duration']:.3f}", ok))
    rate = int(mine.get("SampleRateHZ", "0"))
    rows.append(("sample rate", rate, ref["rate"], rate == ref["rate"]))
    ch = int(mine.get("Channels", mine.get("ChannelModeid", "0")))
    rows.append(("channels", ch if ch else "-", ref["channels"], ch == ref["channels"] or ch == 0))
    kbs = mine.get("BitRateKBS")
    if kbs is not None or ref["kbs"] is not None:
        rows.append(("bit rate", kbs or "-", ref["kbs"] or "-",
                     kbs is None or ref["kbs"] is None or int(kbs) == ref["kbs"]))
    tagged = ours(path)  # the default handler table, as a scan would store it
    for key, want in tags(path).items():
        got = tagged.get(key, "")
        if want or got:
            rows.append((key, got or "-", want or "-", got == want))
    for what, a, b, good in rows:
        if not good:
            diffs += 1
        print(f"{'ok  ' if good else 'DIFF'} {name:24} {what:12} ours={a}  reference={b}")
print(f"{diffs} differences")
sys.exit(1 if diffs else 0)
PYEOF
