#!/bin/bash
# Makes the audio fixtures of the tag reader tests with Debian's encoders and
# taggers: ffmpeg, lame, twolame, flac, vorbis-tools, opus-tools, wavpack,
# musepack-tools, id3v2 and python3-mutagen (with Debian's own python3). Run from anywhere; writes next to
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

# Multichannel and large-file WAVE layouts: WAVE_FORMAT_EXTENSIBLE (ffmpeg
# writes it for more than two channels), RF64, and a JUNK chunk before "fmt ".
ff -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.1" -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" \
    -c:a pcm_s16le -fflags +bitexact -flags:a +bitexact wav_6ch_ext.wav
ff -i "$tmp/s8k.wav" -t 0.1 -c:a pcm_s16le -rf64 always -fflags +bitexact -flags:a +bitexact \
    wav_rf64.wav
ff -i "$tmp/s8k.wav" -t 0.1 -c:a pcm_s16le -rf64 auto -fflags +bitexact -flags:a +bitexact \
    wav_junk.wav

# Vorbis with six channels, and at 96 kHz.
ff -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=0.3" -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" \
    -c:a pcm_s16le "$tmp/six.wav"
oggenc --quiet --serial 11 -q 0 -t "Six Channels" -o vorbis_6ch.ogg "$tmp/six.wav"
ff -f lavfi -i "sine=frequency=440:sample_rate=96000:duration=0.2" -ac 2 -c:a pcm_s16le "$tmp/s96k.wav"
oggenc --quiet --serial 12 -q 0 -t "High Rate" -o vorbis_96k.ogg "$tmp/s96k.wav"

# FLAC with a Vorbis comment and a picture block, and FLAC in Ogg.
ff -f lavfi -i "color=c=red:s=8x8:d=1" -frames:v 1 "$tmp/cover.png"
flac --silent --force -T "TITLE=Flac Comment Title" -T "ARTIST=Flåc Artist" -T "ALBUM=Lossless" \
    -T "DATE=2012-04-01" -T "TRACKNUMBER=7" -T "GENRE=Folk" -T "COMMENT=fine" \
    --picture="$tmp/cover.png" -o flac_vorbis.flac "$tmp/s8k.wav"
flac --silent --force --ogg --serial-number=4242 -T "TITLE=Ogg Flac" -T "ARTIST=In A Container" \
    -T "TRACKNUMBER=2/5" -o ogg_flac.oga "$tmp/s8k.wav"

# Repeated fields (two artists), and the comment as ffmpeg writes it (DESCRIPTION).
flac --silent --force -T "TITLE=Two Voices" -T "ARTIST=First" -T "ARTIST=Second" -T "GENRE=Folk" \
    -T "GENRE=Jazz" -T "DESCRIPTION=Written by ffmpeg" -T "DATE=2001" -o flac_repeated.flac \
    "$tmp/s8k.wav"
ff -i "$tmp/s16k.wav" -c:a libvorbis -q:a 0 -metadata title="Ogg Repeated" \
    -metadata comment="An ffmpeg comment" -fflags +bitexact -flags:a +bitexact vorbis_repeated.ogg
vorbiscomment -a -t "ARTIST=First" -t "ARTIST=Second" -t "ARTIST=First" vorbis_repeated.ogg
opusenc --quiet --serial 22 --bitrate 16 --title "Opus Repeated" --artist "First" \
    --artist "Second" --comment "DESCRIPTION=Opus description" --comment "COMMENT=Opus comment" \
    "$tmp/s16k.wav" opus_repeated.opus

# The comment and date where ffmpeg writes them in ID3v2 (a TXXX frame named
# "comment") and in ASF (the extended descriptors "Description" and "date").
ff -i "$tmp/s16k.wav" -c:a libmp3lame -b:a 32k -metadata title="Mp3 by ffmpeg" \
    -metadata comment="An ffmpeg comment" -metadata date=2016 -write_xing 0 -fflags +bitexact \
    -flags:a +bitexact mp3_txxx_comment.mp3
ff -i "$tmp/s16k.wav" -c:a wmav2 -b:a 32k -metadata title="Wma Extended" \
    -metadata Description="From the extended descriptors" -metadata date=2011 -fflags +bitexact \
    wma_extended.wma

# Opus (its pre-skip is taken off the last granule) and Musepack SV8 with APEv2 tags.
opusenc --quiet --serial 21 --bitrate 16 --title "Opus Title" --artist "Opus Artist" \
    --album "Opus Album" --date 2019 --tracknumber 4 --genre Electronic "$tmp/s16k.wav" opus_tagged.opus
mpcenc --silent --overwrite --quality 3 --artist "MPC Artist" --title "Musepack SV8" \
    --album "APE Tags" --year 2008 --track 1 "$tmp/s32k.wav" mpc_sv8.mpc 2>/dev/null

# MPEG-4 audio: AAC and ALAC, with the iTunes atoms written by mutagen.
ff -i "$tmp/s16k.wav" -c:a aac -b:a 24k -fflags +bitexact -flags:a +bitexact m4a_aac.m4a
ff -i "$tmp/s8k.wav" -c:a alac -fflags +bitexact -flags:a +bitexact m4a_alac.m4a

# MP3: constant bit rate with an Info header from LAME 3.100, and an ID3v2.4
# tag with only a release date. ADTS with an APEv2 tag.
sine 44100 1 "$tmp/s44k.wav"
lame --quiet --noreplaygain -b 128 "$tmp/s44k.wav" mp3_info_cbr.mp3
cp "$tmp/cbr.mp3" mp3_v24_tdrl.mp3
cp adts.aac adts_ape.aac

$PY - <<'PYEOF'
from mutagen.id3 import ID3, TIT2, TDRL
from mutagen.apev2 import APEv2
from mutagen.mp4 import MP4
t = ID3()
t.add(TIT2(encoding=3, text="Released"))
t.add(TDRL(encoding=3, text="2018-09-01"))
t.save("mp3_v24_tdrl.mp3", v2_version=4, v1=0)
a = APEv2()
a["Title"] = "Ape On Aac"
a["Artist"] = "Ape Artist"
a["Track"] = "8"
a.save("adts_ape.aac")
for path, title, genre in (("m4a_aac.m4a", "Mp4 Title é", "Jazz"), ("m4a_alac.m4a", "Alac Title", "Rock")):
    m = MP4(path)
    m["\xa9nam"] = [title]
    m["\xa9ART"] = ["Mp4 Artist"]
    m["\xa9alb"] = ["Mp4 Album"]
    m["\xa9day"] = ["2016-02-03"]
    m["trkn"] = [(6, 11)]
    m["\xa9cmt"] = ["mp4 comment"]
    m["\xa9gen"] = [genre]
    m.save()
PYEOF

ls -l
