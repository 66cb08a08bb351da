// The readers on files made by real encoders and taggers, the reader steps
// that write their keys, and the tags command.
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
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

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
    EXPECT_NEAR(m.Duration(), 1.0, 0.1);

    ASSERT_TRUE(m.ReadFromFile(Fixture("mp3_vbr_v24_utf8.mp3")));
    EXPECT_TRUE(m.VBR.Found);
    EXPECT_EQ(m.VersionName(), "MPEG 2");
    EXPECT_EQ(m.SampleRate(), 22050u);
    EXPECT_EQ(m.EncoderID(), 3);
    EXPECT_EQ(m.EncoderName().substr(0, 5), "LAME ");
    EXPECT_NEAR(m.Duration(), 1.0, 0.1);

    ASSERT_TRUE(m.ReadFromFile(Fixture("mpeg2_layer2.mp2")));
    EXPECT_EQ(m.LayerName(), "Layer II");
    EXPECT_EQ(m.VersionName(), "MPEG 2");
    EXPECT_EQ(m.SampleRate(), 16000u);
    EXPECT_NEAR(m.Duration(), 1.0, 0.1);
}

TEST(Fixtures, ContainerStreams) {
    TWAVfile w;
    ASSERT_TRUE(w.ReadFromFile(Fixture("wav_96k_stereo.wav")));
    EXPECT_EQ(w.SampleRate, 96000u);
    EXPECT_NEAR(w.Duration(), 0.05, 0.001);

    TWAVPackfile wv;
    ASSERT_TRUE(wv.ReadFromFile(Fixture("wavpack_tagged.wv")));
    EXPECT_TRUE(wv.Valid);
    EXPECT_EQ(wv.SampleRate, 8000);
    EXPECT_EQ(wv.Channels, 1);
    EXPECT_NEAR(wv.Duration, 1.0, 1e-9);
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
    EXPECT_NEAR(o.Duration(), 1.0, 1e-9);

    TWMAfile wm;
    ASSERT_TRUE(wm.ReadFromFile(Fixture("asf_tagged.wma")));
    EXPECT_TRUE(wm.Valid);
    EXPECT_EQ(wm.Title, "Wma Title");
    EXPECT_EQ(wm.Artist, "Wma Artist");
    EXPECT_EQ(wm.Year, "2009");
    EXPECT_EQ(wm.Track, 6);
    EXPECT_EQ(wm.SampleRate, 16000);
    EXPECT_NEAR(wm.Duration, 1.0, 0.05);

    TAACfile a;
    ASSERT_TRUE(a.ReadFromFile(Fixture("adts_id3.aac")));
    EXPECT_EQ(a.HeaderTypeName(), "ADTS");
    EXPECT_EQ(a.ProfileName(), "AAC LC");
    EXPECT_EQ(a.SampleRate, 16000);
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.ID3v2.Title, "Aac Title");
}

TEST(ReaderSteps, KeysInHandlerOrder) {
    EXPECT_EQ(Step("WAV", "wav_8k_mono.wav"),
              (std::vector<std::string>{"ChannelModeid=1", "ChannelModeName=Mono",
                                        "SampleRateHZ=8000", "BitsPerSample=16", "DurationSec=1"}));
    EXPECT_EQ(Step("FLAC", "flac_plain.flac"),
              (std::vector<std::string>{"Channels=1", "SampleRateHZ=8000", "BitsPerSample=16",
                                        "Samples=8000", "DurationSec=1"}));
    // MP3: ID3v1 first, ID3v2 values replace them in place.
    auto mp3 = Step("mp3", "mp3_vbr_v24_utf8.mp3");
    ASSERT_GE(mp3.size(), 2u);
    EXPECT_EQ(mp3[0], "Artist=Zoë");
    EXPECT_EQ(mp3[1], std::string("Title=Notes ") + kNote + " Ünïcode");
    // MPG: the ID3v1 values win (the tagger wrote "?" for what Latin-1 lacks).
    auto mpg = Step("MPG", "mp3_vbr_v24_utf8.mp3");
    EXPECT_EQ(mpg[1], "Title=Notes ? Ünïcode");
    EXPECT_NE(std::find(mpg.begin(), mpg.end(), "MPEGLayerName=Layer III"), mpg.end());
    auto ogg = Step("OGG", "vorbis_tagged.ogg");
    EXPECT_EQ(ogg.front(), "Artist=Ogg Artist");
    EXPECT_EQ(ogg.back().substr(0, 7), "Vendor=");
    TTagInfo none;
    EXPECT_FALSE(RunReaderStep("MPP", Fixture("mp3_cbr_id3v1.mp3"), none));
    EXPECT_FALSE(RunReaderStep("FLAC", Fixture("mp3_cbr_id3v1.mp3"), none));
    EXPECT_TRUE(none.Empty());
}

namespace {

std::string RunCli(const std::string& args, int& status) {
    std::string cmd = std::string(TAMBLIX_CLI) + " " + args + " 2>/dev/null";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    status = pclose(p);
    return out;
}

} // namespace

TEST(TagsCommand, PrintsTheLinesOfEachFile) {
    TTempFile settings("", ".ini");
    std::string pre = "--settings " + settings.Path() + " tags ";
    int status = -1;
    std::string out =
        RunCli(pre + Fixture("wav_8k_mono.wav") + " " + Fixture("flac_plain.flac"), status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, Fixture("wav_8k_mono.wav") +
                       "\n  ChannelModeid=1\n  ChannelModeName=Mono\n  SampleRateHZ=8000\n"
                       "  BitsPerSample=16\n  DurationSec=1\n" +
                       Fixture("flac_plain.flac") +
                       "\n  Channels=1\n  SampleRateHZ=8000\n  BitsPerSample=16\n"
                       "  Samples=8000\n  DurationSec=1\n");
    // --handler runs a step whatever the extension.
    TTempFile copy(ReadAll(Fixture("adts.aac")), ".bin");
    out = RunCli(pre + copy.Path(), status);
    EXPECT_EQ(out, copy.Path() + "\n");
    out = RunCli(pre + "--handler AAC " + copy.Path(), status);
    EXPECT_NE(out.find("  ProfileName=AAC LC\n"), std::string::npos);
    RunCli(pre + "/nonexistent/x.mp3", status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
