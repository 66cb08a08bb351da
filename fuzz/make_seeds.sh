#!/usr/bin/env bash
# Makes the seed inputs of the fuzz targets in corpus/<target>/: the real
# fixtures of tests/data, files written by tamblix-cli itself, and small
# byte-level files for formats no Debian tool writes. The outputs are
# committed; rerun only to change them (inputs the fuzzer found, kept in the
# same folders under other names, are left alone).
# Usage: fuzz/make_seeds.sh TAMBLIX_CLI
set -euo pipefail
cli=$(realpath "${1:?usage: make_seeds.sh TAMBLIX_CLI}")
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../tests/data
out=$here/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TZ=UTC LC_ALL=C.UTF-8 TAMBLIX_SETTINGS=$tmp/settings.ini

seed() { # TARGET NAME: copies stdin
    mkdir -p "$out/$1"
    cat > "$out/$1/seed-$2"
}

# Audio: each reader's fixtures.
for f in "$data"/audio/*.mp3; do seed audio_mp3 "$(basename "$f")" < "$f"; done
seed audio_mpg mpeg2_layer2.mp2 < "$data/audio/mpeg2_layer2.mp2"
seed audio_mpg mp3_cbr_id3v1.mp3 < "$data/audio/mp3_cbr_id3v1.mp3"
seed audio_wma asf_tagged.wma < "$data/audio/asf_tagged.wma"
seed audio_wma wma_extended.wma < "$data/audio/wma_extended.wma"
seed audio_wavpack wavpack_tagged.wv < "$data/audio/wavpack_tagged.wv"
for f in "$data"/audio/*.wav; do seed audio_wav "$(basename "$f")" < "$f"; done
seed audio_ogg vorbis_tagged.ogg < "$data/audio/vorbis_tagged.ogg"
seed audio_ogg vorbis_repeated.ogg < "$data/audio/vorbis_repeated.ogg"
seed audio_ape apev2_tagged.mp3 < "$data/audio/apev2_tagged.mp3"
seed audio_ape wavpack_tagged.wv < "$data/audio/wavpack_tagged.wv"
for f in "$data"/audio/*.aac; do seed audio_aac "$(basename "$f")" < "$f"; done
for f in "$data"/audio/*.flac; do seed audio_flac "$(basename "$f")" < "$f"; done
for f in "$data"/audio/*.m4a; do seed audio_mp4 "$(basename "$f")" < "$f"; done
seed audio_opus opus_tagged.opus < "$data/audio/opus_tagged.opus"
seed audio_opus opus_repeated.opus < "$data/audio/opus_repeated.opus"
seed audio_musepack mpc_sv8.mpc < "$data/audio/mpc_sv8.mpc"

# Video and photos: every container and picture format of the fixtures.
for f in "$data"/media/clip.* "$data"/media/silent.mp4 "$data"/media/sound_only.mkv \
         "$data"/media/recorded.* "$data"/media/portrait.mp4 "$data"/media/upside_down.3gp; do
    seed media_video "$(basename "$f")" < "$f"
done
# Headers that claim more than the file holds: a chapter table of 1.8 GB, a
# user-data box to the end of a large file, and a recording cut in its header.
python3 - "$out/media_video" "$data/media/portrait.mp4" <<'PY'
import struct, sys
out, whole = sys.argv[1], open(sys.argv[2], "rb").read()
def atom(kind, size, body=b""): return struct.pack(">I", size) + kind + body
open(out + "/seed-chapters-claim.mp4", "wb").write(atom(b"chap", 0x6B49D200, b"x" * 4088))
open(out + "/seed-long-udta.mov", "wb").write(
    atom(b"ftyp", 16, b"qt  \0\0\0\0") + atom(b"udta", 0x7FFFFFF0) + b"\0" * 4096)
open(out + "/seed-cut-header.mp4", "wb").write(whole[:len(whole) - 900])
PY
for f in "$data"/media/*.jpg "$data"/media/*.tif "$data"/media/*.png "$data"/media/*.webp \
         "$data"/media/*.heic "$data"/media/*.avif; do
    seed media_photo "$(basename "$f")" < "$f"
done
seed audio_ogg ogg_flac.oga < "$data/audio/ogg_flac.oga"

# The Python blocks below write their seeds through one helper.
seed_py='import os, sys
out = sys.argv[1]
def seed(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, "seed-" + name), "wb") as f:
        f.write(data)'
py() { python3 - "$out" < <(printf '%s\n' "$seed_py"; cat); }

# Formats no Debian tool writes, byte by byte; and the archives, whose RAR
# side has no creator in Debian either.
py <<'PY'
import struct, zlib
be32 = lambda v: struct.pack(">I", v)
le32 = lambda v: struct.pack("<I", v)
le16 = lambda v: struct.pack("<H", v)

seed("audio_twinvq", "stereo.vqf",
     b"TWIN97012000" + be32(100) + b"COMM" + be32(16) + be32(1) + be32(96) + be32(44) + be32(0)
     + b"NAME" + be32(5) + b"Hello" + b"AUTH" + be32(2) + b"Me" + b"COMT" + be32(3) + b"abc"
     + b"(c) " + be32(2) + b"Us" + b"FILE" + be32(3) + b"f.x" + b"DATA" + be32(0) + bytes(300))
seed("audio_optimfrog", "stereo.ofr",
     b"OFR " + le32(15) + le32(88200) + le16(0) + b"\x02\x01" + le32(44100) + le16(320) + b"\x00"
     + bytes(300))
seed("audio_cda", "track03.cda",
     b"RIFF" + le32(36) + b"CDDAfmt " + le32(24) + le16(1) + le16(3) + le32(0x1234ABCD)
     + le32(150) + le32(13500) + le32(0) + le32(0))
# Monkey's-audio-style file: a bare APE v2 tag with a header, items and a footer.
def ape_tag(items, version=2000):
    body = b"".join(le32(len(v)) + le32(0) + k + b"\x00" + v for k, v in items)
    size = len(body) + 32
    head = b"APETAGEX" + le32(version) + le32(size) + le32(len(items)) + le32(0xA0000000) + bytes(8)
    foot = b"APETAGEX" + le32(version) + le32(size) + le32(len(items)) + le32(0x80000000) + bytes(8)
    return head + body + foot
seed("audio_ape", "tag_only.ape",
     bytes(64) + ape_tag([(b"Artist", b"Band"), (b"Title", "Grüße".encode()), (b"Year", b"1999"),
                          (b"Track", b"3/12"), (b"Comment", b"line one")]))

def crc(b): return zlib.crc32(b) & 0xFFFFFFFF
def block4(t, flags, body):
    rest = bytes([t]) + le16(flags) + le16(2 + 1 + 2 + 2 + len(body)) + body
    return le16(crc(rest) & 0xFFFF) + rest
def vint(v):
    o = b""
    while True:
        b = v & 0x7F
        v >>= 7
        o += bytes([b | (0x80 if v else 0)])
        if not v: return o
def block5(h):
    sized = vint(len(h)) + h
    return le32(crc(sized)) + sized
dos = ((2005 - 1980) << 25) | (3 << 21) | (7 << 16) | (14 << 11) | (20 << 5) | 5
members = [("docs", b"", True), ("docs/readme.txt", b"read me\n", False), ("a.txt", b"hello\n", False),
           ("Grüße.txt", b"x", False)]
rar4 = b"Rar!\x1a\x07\x00" + block4(0x73, 0, bytes(6))
for name, data, folder in members:
    n = name.replace("/", "\\").encode()
    flags = 0x8000 | (0xE0 if folder else 0) | (0x200 if not n.isascii() else 0)
    body = (le32(len(data)) + le32(len(data)) + b"\x02" + le32(crc(data)) + le32(dos) + b"\x1d\x30"
            + le16(len(n)) + le32(0x10 if folder else 0x20) + n)
    rar4 += block4(0x74, flags, body) + data
rar4 += block4(0x7B, 0x4000, b"")
seed("rar", "stored4.rar", rar4)
rar5 = b"Rar!\x1a\x07\x01\x00" + block5(vint(1) + vint(0) + vint(0))
for name, data, folder in members:
    n = name.encode()
    h = (vint(2) + vint(2) + vint(0 if folder else len(data)) + vint((1 if folder else 4) | 2)
         + vint(0 if folder else len(data)) + vint(0x10 if folder else 0x20) + le32(1110205205))
    if not folder: h += le32(crc(data))
    h += vint(0) + vint(0) + vint(len(n)) + n
    rar5 += block5(h) + (b"" if folder else data)
rar5 += block5(vint(5) + vint(0) + vint(0))
seed("rar", "stored5.rar", rar5)
PY
for f in "$data"/archives/*.zip; do seed zip "$(basename "$f")" < "$f"; done
for f in "$data"/archives/kinds.* "$data"/archives/*.7z "$data"/archives/links.tar \
         "$data"/archives/times.cab; do
    seed archive "$(basename "$f")" < "$f"
done
for f in "$data"/archives/*.7z; do seed sevenzip "$(basename "$f")" < "$f"; done

# Catalog, import text and saved searches as the program writes them.
mkdir -p "$tmp/vol/sub"
cp "$data"/archives/basic.zip "$data"/audio/mp3_cbr_id3v1.mp3 "$tmp/vol/"
cp "$data"/audio/vorbis_tagged.ogg "$tmp/vol/sub/"
printf 'x' > "$tmp/vol/sub/Grüße ñ.txt"
find "$tmp/vol" -exec touch -d '2005-03-07 14:20:10' {} +
"$cli" new "$tmp/empty.txc" > /dev/null
seed catalog empty.txc < "$tmp/empty.txc"
seed stream_search empty.txc < "$tmp/empty.txc"
"$cli" scan "$tmp/cat.txc" "$tmp/vol" --title CD1 --serial 1234ABCD --location Shelf \
    --category Music --to-files > /dev/null 2>&1
"$cli" scan "$tmp/cat.txc" "$tmp/vol/sub" --title "Disc two" > /dev/null 2>&1
seed catalog two_volumes.txc < "$tmp/cat.txc"
seed stream_search two_volumes.txc < "$tmp/cat.txc"
# Damage the loader must report or bound: a negative size, and sizes near
# 2^63 whose sums must saturate instead of wrapping.
py <<'PY'
import struct
def s(t): b = t.encode(); return struct.pack("<i", len(b)) + b
i32 = lambda v: struct.pack("<i", v)
def header(folders): return s("Tamblix 2.3") + s("") + i32(folders) + i32(0) + s("") + i32(0)
def folder(cap, level, kind, items, index, source=""):
    return (s(cap) + struct.pack("<d", 0) + s("") + s("") + s("") + i32(level) + i32(kind)
            + i32(items) + i32(index) + s("") + s(source))
def entry(cap, size, folder=False):
    return s(cap) + struct.pack("<d", 0) + struct.pack("<q", size) + s("") + s("") \
        + bytes([1 if folder else 0]) + s("")
big = 2**63 - 1
for name, data in [
        ("negative_size.txc", header(1) + folder("V", 0, 0, 2, 0) + entry("a", 1) + entry("b", -1)),
        ("huge_sizes.txc", header(2) + folder("V", 0, 0, 3, 0, "/v/") + entry("a", big - 1)
         + entry("b", big - 2) + entry("s", 0, True) + folder("s", 1, 1, 2, 1)
         + entry("c", big) + entry("d", big))]:
    seed("catalog", name, data)
PY

"$cli" export "$tmp/cat.txc" "$tmp/all.txt" > /dev/null 2>&1
"$cli" export "$tmp/cat.txc" "$tmp/tab.txt" --separator Tab \
    --fields Volume,VolumeSerialNo,Path,Name,Size,Date,Category,Comments,Location > /dev/null 2>&1
# The import target reads its options from the first byte: 0 comma and quotes, 9 tab and all fields.
{ printf '\000'; cat "$tmp/all.txt"; } | seed import comma.txt
{ printf '\011'; cat "$tmp/tab.txt"; } | seed import tab_all_fields.txt

"$cli" search "$tmp/cat.txc" --name mp3 --date 2005-03-07 --until 2005-12-31 --size '>' 5 \
    --unit KB --match-case --save "$tmp/s1.txs" > /dev/null 2>&1
seed saved_search dates_sizes.txs < "$tmp/s1.txs"
"$cli" search "$tmp/cat.txc" --collections --caption Box --url http://example.org/ --memo note \
    --save "$tmp/s2.txs" > /dev/null 2>&1
seed saved_search collections.txs < "$tmp/s2.txs"

# Peer catalogs: small constructed ones in each format, CDCat also gzipped
# and as its partial export, gocatcli also as TOML.
py <<'PY'
import gzip
hcf = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE HyperCDCatalogFile>
<catalog name="c" owner="o" time="2019-03-02 18:40:11" sortedBy="1">
<datafile version="2.2"/>
 <media name="Disc" number="1" owner="o" type="CD" time="2019-03-02 18:39:50">
  <comment>first#second  </comment>
  <borrow>B</borrow>
  <directory name="A &amp; B" time="2008-9-14 21:5:33">
   <file name="s.mp3" size="3.47 Mb" time="Sep 10 08:12 2008">
    <category>music</category>
    <fileinfo>General
Format : MPEG Audio
    </fileinfo>
    <exif>Exif.Image.Model: X</exif>
    <mp3tag artist="a" title="t" album="b" year="2008" tnum="3">c  </mp3tag>
   </file>
   <file name="n.tar.gz" size="12.50 Kb" time="Sep.14 21:04 2008">
    <archivecontent>
-rw-r--r-- ?u?g?20480?Sep 9 21:7 2008?n/d?1.txt??
drwxr-xr-x ?u?g?0?Sep 9 21:0 2008?n/??</archivecontent>
   </file>
  </directory>
 </media>
 <catlnk name="l" location="/x&y.hcf"/>
</catalog>
"""
seed("peer_cdcat", "example.hcf", gzip.compress(hcf.encode(), mtime=0))
seed("peer_cdcat", "example.xml", hcf.encode())
seed("peer_cdcat", "partial.xml", b'<?xml version="1.0" encoding="ISO-8859-2"?>\n'
     b'<media name="M\xb1"><file name="f" size="1.00 byte" time="2000-01-01 00:00:00"/></media>\n</xml>\n')
seed("peer_cdcat", "unescaped-link.xml", b'<?xml version="1.0" encoding="UTF-8"?>\n<catalog>'
     b'<catlnk name="l" location="/a<b "c".hcf" ><comment>x</comment></catlnk>'
     b'<media name="M"><file name="f" size="1.00 byte" time="2000-01-01 00:00:00"/></media>'
     b'<catlnk location="/x"y" name="m"/></catalog>\n')
seed("peer_gocatcli", "huge-size.catalog", b"""{"storages": [{"id": 1, "name": "s", "children": [
 {"name": "f", "filetype": "file", "size": 18446744073709551615, "maccess": 6},
 {"name": "g", "filetype": "file", "size": 1.9e19, "maccess": 6}]}]}
""")
seed("peer_catcli", "example.catalog", b"""{"children": [{"attr": "a", "children": [
 {"children": [{"maccess": 1.5, "md5": "ab", "name": "f\\u00e9\\udce9", "size": 3, "type": "file"}],
  "maccess": 2.0, "name": "d", "size": 3, "type": "dir"},
 {"children": [{"archive": "z.zip", "md5": "", "name": "n", "size": 0, "type": "arc", "children": [
   {"archive": "z.zip", "md5": "", "name": "x.txt", "size": 0, "type": "arc"}]}],
  "maccess": 3, "md5": null, "name": "z.zip", "size": null, "type": "file"}],
 "free": 1, "name": "s", "relpath": "/s", "size": 3, "total": 2, "ts": 4, "type": "storage"},
 {"attr": {"access": 1}, "name": "meta", "size": null, "type": "meta"}],
 "name": "top", "size": null, "type": "top"}
""")
seed("peer_gocatcli", "example.catalog", b"""{"storages": [{"id": 1, "name": "s", "path": "P",
 "size": 3, "free": 1, "total": 2, "ts": 4, "type": "storage", "tags": ["a", "b"], "meta": "m",
 "nb_files": 2, "children": [
 {"id": "", "name": "d \\u0026 e", "relpath": "d", "md5": "", "filetype": "dir", "size": 3,
  "maccess": 5, "children": [{"id": "", "name": "f", "relpath": "d/f", "md5": "ab",
  "filetype": "file", "size": 3, "maccess": 6, "children": null, "ts": 4, "storage_id": 1,
  "mode": "-rw-r--r--", "mime": "text/plain", "extra": "k:v,x:y"}], "ts": 4},
 {"id": "", "name": "z.zip", "relpath": "z.zip", "md5": "", "filetype": "archive", "size": 9,
  "maccess": 7, "children": [
   {"name": "n/", "filetype": "archived", "size": 0, "maccess": 7, "mode": "drwxr-xr-x"},
   {"name": "n/x.txt", "filetype": "archived", "size": 5, "maccess": 7, "mode": "-rw-r--r--"}]}]}],
 "tool": "t", "version": "1", "created": 1, "updated": 2, "note": ""}
""")
seed("peer_gocatcli", "example.toml", b"""tool = "t"
version = "1"
updated = 1970-01-01T00:00:02Z
note = '''a.b'''

[[storages]]
id = 1
name = "s"
type = "storage"
tags = ["a", "b"]

[[storages.children]]
name = "d"
filetype = "dir"
maccess = 5.5
children = [{ name = "e", filetype = "dir", children = [] }]

[[storages.children]]
name = "z.zip"
filetype = "archive"
size = 9
maccess = 7

[[storages.children.children]]
name = "n/x.txt"
filetype = "archived"
size = 5
maccess = 7
mode = "-rw-r--r--"
""")
PY

# Language files: the shipped one and a small one with every kind of line.
seed language Deutsch.bab < "$here/../share/languages/Deutsch.bab"
printf 'menuname:Test\r\nhelpfile:help.html\r\nmsgsZipErr="Fehler: %%s"\r\nfrmMain.tbAdd=Neu\r\nmsgsAdding=\r\n=x\r\n' |
    seed language small.bab

# Thumbnails: the pictures and the phone video made for their tests.
for f in photo.jpg with_preview.jpg photo.png photo.webp photo.tif photo.heic phone.mp4; do
    seed thumbnail "$f" < "$data/thumbs/$f"
done
