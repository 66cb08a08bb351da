#!/bin/bash
# Makes the audio fixtures of the tag reader tests with Debian's encoders and
# taggers: ffmpeg, lame, twolame, flac, vorbis-tools, wavpack, id3v2 and
# python3-mutagen (with Debian's own python3). Run from anywhere; writes next to
# this script. The outputs are committed; rerun only to change them.
set -euo pipefail
cd "$(dirname "$0")"
PY=/usr/bin/python3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
sine() { # RATE SECONDS OUT
    ff -f lavfi -i "sine=frequency=440:sample_rate=$1:duration=$2" -ac 1 -c:a pcm_s16le \
        -fflags +bitexact -flags:a +bitexact "$3"
}

sine 8000 1 "$tmp/s8k.wav"
sine 16000 1 "$tmp/s16k.wav"
sine 32000 1 "$tmp/s32k.wav"
sine 22050 1 "$tmp/s22k.wav"

# WAV: 8 kHz mono, and a very short 96 kHz one.
cp "$tmp/s8k.wav" wav_8k_mono.wav
ff -f lavfi -i "sine=frequency=440:sample_rate=96000:duration=0.05" -ac 2 -c:a pcm_s16le \
    -fflags +bitexact -flags:a +bitexact wav_96k_stereo.wav

# MP3 CBR, MPEG 1 layer III, ID3v1.1 only, Latin-1 text.
lame --quiet --noreplaygain -b 32 -m m --resample 32 "$tmp/s32k.wav" mp3_cbr_id3v1.mp3
id3v2 -1 -a "$(printf 'Bj\xf6rk')" -t "$(printf 'Caf\xe9 Song')" -A "Album One" -y 2001 \
    -T 7 -g 17 mp3_cbr_id3v1.mp3

# MP3 VBR (Xing/Info and encoder tag), MPEG 2 layer III, ID3v2.4 in UTF-8 with a
# character beyond U+FFFF, plus an ID3v1 tag.
lame --quiet --noreplaygain -V 9 -m m "$tmp/s22k.wav" mp3_vbr_v24_utf8.mp3
# ID3v2.3 in UTF-16, ID3v2.3 in Latin-1, ID3v2.4 in UTF-16BE, on CBR copies.
lame --quiet --noreplaygain -b 32 -m m "$tmp/s32k.wav" "$tmp/cbr.mp3"
cp "$tmp/cbr.mp3" mp3_v23_utf16.mp3
cp "$tmp/cbr.mp3" mp3_v23_latin1.mp3
cp "$tmp/cbr.mp3" mp3_v24_utf16be.mp3

$PY - <<'PYEOF'
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, TDRC, TCON, COMM, TYER

def tag(path, enc, version, v1, title, artist, album, track, year, genre, comment):
    t = ID3()
    t.add(TIT2(encoding=enc, text=title))
    t.add(TPE1(encoding=enc, text=artist))
    t.add(TALB(encoding=enc, text=album))
    t.add(TRCK(encoding=enc, text=track))
    t.add(TCON(encoding=enc, text=genre))
    t.add(COMM(encoding=enc, lang="eng", desc="Note", text=comment))
    if version == 3:
        t.add(TYER(encoding=enc, text=year))
    else:
        t.add(TDRC(encoding=enc, text=year))
    t.save(path, v2_version=version, v1=v1)

tag("mp3_vbr_v24_utf8.mp3", 3, 4, 2, "Notes \U0001F3B5 Ünïcode", "Zoë", "Ωmega",
    "3/12", "2004-05-06", "Rock", "Good")
tag("mp3_v23_utf16.mp3", 1, 3, 0, "Ελληνικά \U0001F3B5", "Артист", "日本語",
    "5", "1999", "(17)Rock", "Kommentar")
tag("mp3_v23_latin1.mp3", 0, 3, 0, "Café", "Señor", "Über", "9/10", "1987", "Jazz",
    "fine")
tag("mp3_v24_utf16be.mp3", 2, 4, 0, "Big Endian ß", "Ärtist", "Album BE", "300", "2010",
    "Pop", "be")
PYEOF

# MPEG 2 layer II.
twolame --quiet -b 32 -m m "$tmp/s16k.wav" mpeg2_layer2.mp2

# APEv2 tag (with an ID3v1 tag after it) on an MPEG stream.
cp "$tmp/cbr.mp3" apev2_tagged.mp3
$PY - <<'PYEOF'
from mutagen.apev2 import APEv2
from mutagen.id3 import ID3, TIT2
t = APEv2()
t["Title"] = "Ape Title é"
t["Artist"] = "Ape Artist"
t["Album"] = "Ape Album"
t["Track"] = "300/301"
t["Year"] = "2011"
t["Genre"] = "Ambient"
t["Comment"] = "ape comment"
t["Copyright"] = "(c) Someone"
t["Subtitle"] = "ignored"
t.save("apev2_tagged.mp3")
PYEOF
id3v2 -1 -t "V1 Title" apev2_tagged.mp3

# FLAC, plain and with ID3v2 in front and ID3v1 behind.
flac --silent --force -8 -o flac_plain.flac "$tmp/s8k.wav"
cp flac_plain.flac flac_id3.flac
$PY - <<'PYEOF'
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, TDRC, TCON
t = ID3()
t.add(TIT2(encoding=3, text="Flac Title"))
t.add(TPE1(encoding=3, text="Flac Artist"))
t.add(TALB(encoding=3, text="Flac Album"))
t.add(TRCK(encoding=3, text="4"))
t.add(TDRC(encoding=3, text="2015"))
t.add(TCON(encoding=3, text="Classical"))
t.save("flac_id3.flac", v2_version=4, v1=2)
PYEOF

# Ogg Vorbis with comments.
oggenc --quiet -q 0 -o vorbis_tagged.ogg -t "Ogg Title ñ" -a "Ogg Artist" -l "Ogg Album" \
    -N "2/9" -d 2020 -G "Electronic" -c "COMMENT=Ogg comment" "$tmp/s16k.wav"

# WavPack with APEv2 tags.
wavpack -q -y -w "Title=WV Title" -w "Artist=WV Artist" "$tmp/s8k.wav" -o wavpack_tagged.wv

# WMA (ASF) with content description and extended content description.
ff -i "$tmp/s16k.wav" -c:a wmav2 -b:a 32k -metadata title="Wma Title" \
    -metadata artist="Wma Artist" -metadata album="Wma Album" -metadata track=6 \
    -metadata WM/Year=2009 -metadata genre="Blues" -metadata comment="Wma comment" \
    -fflags +bitexact asf_tagged.wma

# AAC in ADTS frames, plain and with ID3 tags.
ff -i "$tmp/s16k.wav" -c:a aac -b:a 24k -f adts -fflags +bitexact -flags:a +bitexact adts.aac
cp adts.aac adts_id3.aac
$PY - <<'PYEOF'
from mutagen.id3 import ID3, TIT2, TPE1, TRCK
t = ID3()
t.add(TIT2(encoding=3, text="Aac Title"))
t.add(TPE1(encoding=3, text="Aac Artist"))
t.add(TRCK(encoding=3, text="2"))
t.save("adts_id3.aac", v2_version=3, v1=2)
PYEOF

ls -l
