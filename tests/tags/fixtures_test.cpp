// The readers on files made by real encoders and taggers, the reader steps
// that write their keys, and the tags command.
#include "handlers/handlers.h"
#include "support/run_program.h"
#include "tag_test_util.h"
#include "tags/aac_file.h"
#include "tags/ape_tag.h"
#include "tags/flac_file.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mpeg_audio.h"
#include "tags/ogg_vorbis.h"
#include "tags/reader_steps.h"
#include "tags/wav_file.h"
#include "tags/wavpack_file.h"
#include "tags/wma_file.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace {

const char* const kNote = "\xF0\x9F\x8E\xB5"; // U+1F3B5

std::vector<std::string> Step(const std::string& title, const std::string& file) {
    TTagInfo info;
    EXPECT_TRUE(RunReaderStep(title, Fixture(file), info)) << title << " " << file;
    return info.Values();
}

} // namespace

TEST(Fixtures, Id3TagsInEveryEncoding) {
    TID3v1 v1;
    ASSERT_TRUE(v1.ReadFromFile(Fixture("mp3_cbr_id3v1.mp3")));
    EXPECT_EQ(v1.Artist, "Björk");
    EXPECT_EQ(v1.Title, "Café Song");
    EXPECT_EQ(v1.Track, 7);
    EXPECT_EQ(v1.GenreName(), "Rock");

    TID3v2 v2;
    ASSERT_TRUE(v2.ReadFromFile(Fixture("mp3_vbr_v24_utf8.mp3")));
    EXPECT_EQ(v2.VersionID, 4);
    EXPECT_EQ(v2.Title, std::string("Notes ") + kNote + " Ünïcode");
    EXPECT_EQ(v2.Artist, "Zoë");
    EXPECT_EQ(v2.Year, "2004");
    EXPECT_EQ(v2.Track, 3);
    EXPECT_EQ(v2.TrackString, "3/12");
    EXPECT_EQ(v2.Comment, "Good");

    ASSERT_TRUE(v2.ReadFromFile(Fixture("mp3_v23_utf16.mp3")));
    EXPECT_EQ(v2.VersionID, 3);
    EXPECT_EQ(v2.Title, std::string("Ελληνικά ") + kNote);
    EXPECT_EQ(v2.Artist, "Артист");
    EXPECT_EQ(v2.Album, "日本語");
    EXPECT_EQ(v2.Genre, "Rock");
    EXPECT_EQ(v2.Comment, "Kommentar");

    ASSERT_TRUE(v2.ReadFromFile(Fixture("mp3_v23_latin1.mp3")));
    EXPECT_EQ(v2.Title, "Café");
    EXPECT_EQ(v2.Artist, "Señor");
    EXPECT_EQ(v2.Track, 9);

    ASSERT_TRUE(v2.ReadFromFile(Fixture("mp3_v24_utf16be.mp3")));
    EXPECT_EQ(v2.Title, "Big Endian ß");
    EXPECT_EQ(v2.Artist, "Ärtist");
    EXPECT_EQ(v2.Track, 300);
}

TEST(Fixtures, ApeTagBeforeId3v1) {
    TAPEtag t;
    ASSERT_TRUE(t.ReadFromFile(Fixture("apev2_tagged.mp3")));
    EXPECT_TRUE(t.Exists);
    EXPECT_EQ(t.Version, 2000);
    EXPECT_EQ(t.Title, "Ape Title é");
    EXPECT_EQ(t.Track, 300);
    EXPECT_EQ(t.Copyright, "(c) Someone");
}

TEST(Fixtures, MpegStreams) {
    TMPEGaudio m;
    ASSERT_TRUE(m.ReadFromFile(Fixture("mp3_cbr_id3v1.mp3")));
    EXPECT_EQ(m.VersionName(), "MPEG 1");
    EXPECT_EQ(m.SampleRate(), 32000u);
    EXPECT_EQ(m.BitRate(), 32);
    EXPECT_TRUE(m.ID3v1.Exists);
    // 4304 bytes of audio after the tag at 32 kbit/s (ffprobe: 1.076000).
    EXPECT_DOUBLE_EQ(m.Duration(), 1.076);

    ASSERT_TRUE(m.ReadFromFile(Fixture("mp3_vbr_v24_utf8.mp3")));
    EXPECT_TRUE(m.VBR.Found);
    EXPECT_EQ(m.VersionName(), "MPEG 2");
    EXPECT_EQ(m.SampleRate(), 22050u);
    EXPECT_EQ(m.EncoderID(), 3);
    EXPECT_EQ(m.EncoderName(), "LAME 3.100");
    // The Xing header's 41 frames of 576 samples at 22,050 Hz.
    EXPECT_DOUBLE_EQ(m.Duration(), 41 * 576 / 22050.0);

    ASSERT_TRUE(m.ReadFromFile(Fixture("mpeg2_layer2.mp2")));
    EXPECT_EQ(m.LayerName(), "Layer II");
    EXPECT_EQ(m.VersionName(), "MPEG 2");
    EXPECT_EQ(m.SampleRate(), 16000u);
    // 4032 bytes at 32 kbit/s (ffprobe: 1.008000).
    EXPECT_DOUBLE_EQ(m.Duration(), 1.008);
}

TEST(Fixtures, ContainerStreams) {
    TWAVfile w;
    ASSERT_TRUE(w.ReadFromFile(Fixture("wav_96k_stereo.wav")));
    EXPECT_EQ(w.SampleRate, 96000u);
    EXPECT_DOUBLE_EQ(w.Duration(), 0.05);

    TWAVPackfile wv;
    ASSERT_TRUE(wv.ReadFromFile(Fixture("wavpack_tagged.wv")));
    EXPECT_TRUE(wv.Valid);
    EXPECT_EQ(wv.SampleRate, 8000);
    EXPECT_EQ(wv.Channels, 1);
    EXPECT_DOUBLE_EQ(wv.Duration, 1.0);
    EXPECT_TRUE(wv.APEtag.Exists);

    TFLACfile fl;
    ASSERT_TRUE(fl.ReadFromFile(Fixture("flac_id3.flac")));
    EXPECT_EQ(fl.Samples, 8000);
    EXPECT_EQ(fl.ID3v2.Title, "Flac Title");
    EXPECT_TRUE(fl.ID3v1.Exists);

    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(Fixture("vorbis_tagged.ogg")));
    EXPECT_EQ(o.Title, "Ogg Title ñ");
    EXPECT_EQ(o.Track, 2);
    EXPECT_EQ(o.SampleRate, 16000u);
    EXPECT_DOUBLE_EQ(o.Duration(), 1.0);

    TWMAfile wm;
    ASSERT_TRUE(wm.ReadFromFile(Fixture("asf_tagged.wma")));
    EXPECT_TRUE(wm.Valid);
    EXPECT_EQ(wm.Title, "Wma Title");
    EXPECT_EQ(wm.Artist, "Wma Artist");
    EXPECT_EQ(wm.Year, "2009");
    EXPECT_EQ(wm.Track, 6);
    EXPECT_EQ(wm.SampleRate, 16000);
    // The play duration less the preroll (ffprobe: 1.024000).
    EXPECT_DOUBLE_EQ(wm.Duration, 1.024);

    TAACfile a;
    ASSERT_TRUE(a.ReadFromFile(Fixture("adts_id3.aac")));
    EXPECT_EQ(a.HeaderTypeName(), "ADTS");
    EXPECT_EQ(a.ProfileName(), "AAC LC");
    EXPECT_EQ(a.SampleRate, 16000);
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.ID3v2.Title, "Aac Title");
}

// Tags as common tools write them: a field repeated (two artists) is joined,
// each value once; DESCRIPTION, a TXXX frame named "comment" and ASF's
// "Description" give the comment, and ASF's "date" the year, when the usual
// field is empty.
TEST(Fixtures, RepeatedFieldsAndCommentsElsewhere) {
    auto keys = [](const char* title, const char* file, std::vector<std::string> wanted) {
        std::vector<std::string> got;
        for (const std::string& line : Step(title, file))
            for (const std::string& key : wanted)
                if (line.rfind(key + "=", 0) == 0) got.push_back(line);
        return got;
    };
    using L = std::vector<std::string>;
    const L tags = {"Artist", "Genre", "Year", "Comments"};
    EXPECT_EQ(keys("FLAC", "flac_repeated.flac", tags),
              (L{"Artist=First / Second", "Year=2001", "Genre=Folk / Jazz",
                 "Comments=Written by ffmpeg"}));
    // ARTIST=First, ARTIST=Second, ARTIST=First.
    EXPECT_EQ(keys("OGG", "vorbis_repeated.ogg", tags),
              (L{"Artist=First / Second", "Comments=An ffmpeg comment"}));
    // Both COMMENT and DESCRIPTION: the comment is COMMENT.
    EXPECT_EQ(keys("OPUS", "opus_repeated.opus", tags),
              (L{"Artist=First / Second", "Comments=Opus comment"}));
    EXPECT_EQ(keys("MP3", "mp3_txxx_comment.mp3", tags),
              (L{"Year=2016", "Comments=An ffmpeg comment"}));
    EXPECT_EQ(keys("WMA", "wma_extended.wma", tags),
              (L{"Year=2011", "Comments=From the extended descriptors"}));
}

// Which keys each step writes, in which order, for a file of its kind: the
// lines are stored in catalogs, searched and exported. The stream values agree
// with ffprobe (check_against_ffprobe.sh); formats no Debian tool writes are built here.
TEST(ReaderSteps, EveryStepWritesItsKeys) {
    using L = std::vector<std::string>;
    TTempFile vqf("TWIN97012000" + Be32b(100) + "COMM" + Be32b(16) + Be32b(1) + Be32b(96) +
                      Be32b(44) + Be32b(0) + "NAME" + Be32b(5) + "Hello" + "DATA" + Be32b(0) +
                      Zeros(12059),
                  ".vqf");
    TTempFile ofr("OFR " + Le32b(15) + Le32b(88200) + Le16b(0) + B("\x02\x01") + Le32b(44100) +
                      Le16b(320) + B("\x00") + Zeros(100),
                  ".ofr");
    TTempFile cda("RIFF" + Le32b(36) + "CDDAfmt " + Le32b(24) + Le16b(1) + Le16b(3) +
                      Le32b(0x1234ABCD) + Le32b(150) + Le32b(13500) + Le32b(0) + Le32b(0),
                  ".cda");
    struct TCase {
        const char* Title;
        std::string Path;
        L Lines;
    };
    const TCase cases[] = {
        {"MP3", Fixture("mp3_vbr_v24_utf8.mp3"),
         L{"Artist=Zoë", std::string("Title=Notes ") + kNote + " Ünïcode", "Album=Ωmega",
           "Year=2004", "Genre=Rock", "Track=3", "Comments=Good"}},
        {"MPG", Fixture("mp3_info_cbr.mp3"),
         L{"MPEGLayerName=Layer III", "MPEGVersionName=MPEG 1", "SampleRateHZ=44100",
           "BitRateKBS=128", "ChannelModeName=Mono", "EmphasisName=None", "TotalFrames=40",
           "DurationSec=1.04489795918367", "Encoderid=3", "EncoderName=LAME 3.100"}},
        {"WMA", Fixture("asf_tagged.wma"),
         L{"Artist=Wma Artist", "Title=Wma Title", "Album=Wma Album", "Year=2009", "Genre=Blues",
           "Comments=Wma comment", "Track=6", "ChannelModeid=1", "ChannelModeName=Mono",
           "SampleRateHZ=16000", "BitRateKBS=32", "DurationSec=1.024"}},
        {"WPA", Fixture("wavpack_tagged.wv"),
         L{"Artist=WV Artist", "Title=WV Title", "Channels=1", "SampleRateHZ=8000", "BitRateKBS=46",
           "DurationSec=1"}},
        {"WAV", Fixture("wav_6ch_ext.wav"),
         L{"Channels=6", "SampleRateHZ=8000", "BitsPerSample=16", "DurationSec=0.1"}},
        {"WAV", Fixture("wav_8k_mono.wav"),
         L{"ChannelModeid=1", "ChannelModeName=Mono", "SampleRateHZ=8000", "BitsPerSample=16",
           "DurationSec=1"}},
        {"OGG", Fixture("vorbis_tagged.ogg"),
         L{"Artist=Ogg Artist", "Title=Ogg Title ñ", "Album=Ogg Album", "Year=2020",
           "Genre=Electronic", "Comments=Ogg comment", "Track=2", "ChannelModeid=1",
           "ChannelModeName=Mono", "SampleRateHZ=16000", "BitRateKBS=35", "DurationSec=1",
           "Vendor=Xiph.Org libVorbis I 20200704 (Reducing Environment)"}},
        {"OGG", Fixture("ogg_flac.oga"),
         L{"Artist=In A Container", "Title=Ogg Flac", "Track=2", "Channels=1", "SampleRateHZ=8000",
           "BitsPerSample=16", "Samples=8000", "DurationSec=1"}},
        {"APE", Fixture("apev2_tagged.mp3"),
         L{"Artist=Ape Artist", "Title=Ape Title é", "Album=Ape Album", "Year=2011",
           "Genre=Ambient", "Comments=ape comment", "Track=300", "Copyright=(c) Someone"}},
        {"VQF", vqf.Path(),
         L{"Title=Hello", "ChannelModeid=2", "ChannelModeName=Stereo", "SampleRateHZ=44100",
           "BitRateKBS=96", "DurationSec=1"}},
        {"AAC", Fixture("adts_ape.aac"),
         L{"Artist=Ape Artist", "Title=Ape On Aac", "Track=8", "MPEGVersionid=2",
           "SampleRateHZ=16000", "BitRateKBS=26", "MPEGVersionName=MPEG-4", "Profileid=2",
           "ProfileName=AAC LC", "Channels=1", "BitrateTypeid=2", "BitrateTypeName=VBR",
           "DurationSec=1.088"}},
        {"FLAC", Fixture("flac_vorbis.flac"),
         L{"Artist=Flåc Artist", "Title=Flac Comment Title", "Album=Lossless", "Year=2012-04-01",
           "Genre=Folk", "Comments=fine", "Track=7", "Channels=1", "SampleRateHZ=8000",
           "BitsPerSample=16", "Samples=8000", "DurationSec=1"}},
        {"OFR", ofr.Path(),
         L{"EncoderVersion=4.520", "BitsPerSample=16", "ChannelModeName=Stereo", "Samples=44100",
           "DurationSec=1", "SampleRateHZ=44100"}},
        {"CDA", cda.Path(), L{"DurationSec=180", "Track=3", "TrackPositionSec=2"}},
        {"M4A", Fixture("m4a_alac.m4a"),
         L{"Artist=Mp4 Artist", "Title=Alac Title", "Album=Mp4 Album", "Year=2016", "Genre=Rock",
           "Comments=mp4 comment", "Track=6", "Codec=ALAC", "Channels=1", "SampleRateHZ=8000",
           "BitRateKBS=50", "DurationSec=1"}},
        {"OPUS", Fixture("opus_tagged.opus"),
         L{"Artist=Opus Artist", "Title=Opus Title", "Album=Opus Album", "Year=2019",
           "Genre=Electronic", "Track=4", "Channels=1", "SampleRateHZ=48000", "BitRateKBS=24",
           "DurationSec=1", "Vendor=libopus 1.3.1, libopusenc 0.2.1"}},
        {"MPP", Fixture("mpc_sv8.mpc"),
         L{"Artist=MPC Artist", "Title=Musepack SV8", "Album=APE Tags", "Year=2008", "Track=1",
           "StreamVersion=8", "Channels=1", "SampleRateHZ=32000", "BitRateKBS=33",
           "DurationSec=1"}},
        {"Video", std::string(TAMBLIX_TEST_DATA) + "/media/clip.mkv",
         L{"DurationSec=1", "Width=64", "Height=48", "FrameRate=25", "VideoCodec=h264",
           "AudioCodec=flac", "Channels=1", "SampleRateHZ=22050", "BitRateKBS=81",
           "Title=Harbour at dawn", "Artist=Ann Example"}},
        {"Photo", std::string(TAMBLIX_TEST_DATA) + "/media/south.jpg",
         L{"DateTaken=2019-12-31T23:59:59", "Width=40", "Height=30", "CameraMake=Example Optics",
           "CameraModel=EX-10", "ExposureTime=2", "FNumber=8", "ISO=100", "GPSLatitude=-33.856159",
           "GPSLongitude=151.215256"}},
    };
    std::set<std::string> covered;
    for (const TCase& c : cases) {
        TTagInfo info;
        EXPECT_TRUE(RunReaderStep(c.Title, c.Path, info)) << c.Title;
        EXPECT_EQ(info.Values(), c.Lines) << c.Title << " " << c.Path;
        covered.insert(c.Title);
    }
    // Every step that the scan runs has its row.
    for (const auto& title : THandlerList::ReaderTitles())
        EXPECT_TRUE(covered.count(title)) << title;
    // MPG: the ID3v1 values win (the tagger wrote "?" for what Latin-1 lacks).
    auto mpg = Step("MPG", "mp3_vbr_v24_utf8.mp3");
    ASSERT_GE(mpg.size(), 2u);
    EXPECT_EQ(mpg[1], "Title=Notes ? Ünïcode");
    // MP3 merges the APE tag over the ID3v1 tag after it.
    EXPECT_EQ(Step("MP3", "apev2_tagged.mp3")[0], "Title=Ape Title é");
    TTagInfo none;
    EXPECT_FALSE(RunReaderStep("NONE", Fixture("mp3_cbr_id3v1.mp3"), none));
    EXPECT_FALSE(RunReaderStep("FLAC", Fixture("mp3_cbr_id3v1.mp3"), none));
    EXPECT_TRUE(none.Empty());
}

TEST(TagsCommand, PrintsTheLinesOfEachFile) {
    TTempFile settings("", ".ini");
    auto tags = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", settings.Path(), "tags"});
        return RunProgram(args);
    };
    TProgramRun r = tags({Fixture("wav_8k_mono.wav"), Fixture("flac_plain.flac")});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, Fixture("wav_8k_mono.wav") +
                         "\n  ChannelModeid=1\n  ChannelModeName=Mono\n  SampleRateHZ=8000\n"
                         "  BitsPerSample=16\n  DurationSec=1\n" +
                         Fixture("flac_plain.flac") +
                         "\n  Channels=1\n  SampleRateHZ=8000\n  BitsPerSample=16\n"
                         "  Samples=8000\n  DurationSec=1\n");
    // --handler runs a step whatever the extension.
    TTempFile copy(ReadFile(Fixture("adts.aac")), ".bin");
    EXPECT_EQ(tags({copy.Path()}).Out, copy.Path() + "\n");
    r = tags({"--handler", "AAC", copy.Path()});
    EXPECT_NE(r.Out.find("  ProfileName=AAC LC\n"), std::string::npos);
    EXPECT_EQ(tags({"/nonexistent/x.mp3"}).ExitCode, 1);
}
