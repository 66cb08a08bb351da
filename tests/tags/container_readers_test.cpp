// MPEG-4, Opus and Musepack files built byte by byte: the layouts Debian's
// tools do not write (64-bit atom sizes, genre codes, SV7, a known pre-skip)
// and atoms that lie.
#include "tag_test_util.h"
#include "tags/mp4_file.h"
#include "tags/musepack_file.h"
#include "tags/opus_file.h"
#include "tags/reader_steps.h"

#include <gtest/gtest.h>

namespace {

Bytes Atom(const char* type, const Bytes& body) {
    return Be32b(static_cast<uint32_t>(body.size() + 8)) + type + body;
}
// The same with a 64-bit size.
Bytes Atom64(const char* type, const Bytes& body) {
    return Be32b(1) + type + Be32b(0) + Be32b(static_cast<uint32_t>(body.size() + 16)) + body;
}
Bytes Item(const char* type, uint32_t kind, const Bytes& value) {
    return Atom(type, Atom("data", Be32b(kind) + Be32b(0) + value));
}

// ftyp, a movie of 5 s with one AAC track (stereo, 44,100 Hz, 128 kbit/s on
// average), tags, and the media data with a 64-bit size; the movie too when wide.
Bytes Mp4(const Bytes& ilst, bool wide = false) {
    Bytes esds = Be32b(0) + B("\x03\x19") + Be16b(1) + B("\x00") + B("\x04\x11\x40\x15") +
                 Zeros(3) + Be32b(160000) + Be32b(128000) + B("\x05\x02\x12\x10");
    Bytes entry = Zeros(6) + Be16b(1) + Be16b(0) + Be16b(0) + Be32b(0) + Be16b(2) + Be16b(16) +
                  Be16b(0) + Be16b(0) + Be32b(44100u << 16) + Atom("esds", esds);
    Bytes stbl = Atom("stsd", Be32b(0) + Be32b(1) + Atom("mp4a", entry));
    // Version 1 media header: 64-bit times, time scale 44,100, 220,500 samples.
    Bytes mdhd = B("\x01\0\0\0") + Zeros(16) + Be32b(44100) + Be32b(0) + Be32b(220500) + Zeros(4);
    Bytes trak =
        Atom("trak", Atom("mdia", Atom("mdhd", mdhd) +
                                      Atom("hdlr", Be32b(0) + Be32b(0) + "soun" + Zeros(12)) +
                                      Atom("minf", Atom("stbl", stbl))));
    Bytes mvhd = Be32b(0) + Zeros(8) + Be32b(1000) + Be32b(5000) + Zeros(80);
    Bytes meta =
        Be32b(0) + Atom("hdlr", Be32b(0) + Be32b(0) + "mdir" + Zeros(12)) + Atom("ilst", ilst);
    Bytes movie = Atom("mvhd", mvhd) + trak + Atom("udta", Atom("meta", meta));
    Bytes moov = wide ? Atom64("moov", movie) : Atom("moov", movie);
    return Atom("ftyp", "M4A " + Be32b(0)) + moov + Atom64("mdat", Zeros(100));
}

} // namespace

TEST(MP4file, ItemsStreamValuesAndWideSizes) {
    Bytes ilst = Item("\xA9nam", 1, "Title \xC3\xA9") +
                 Item("\xA9"
                      "ART",
                      1, "Artist") +
                 Item("trkn", 0, Be16b(0) + Be16b(7) + Be16b(12) + Be16b(0)) +
                 Item("gnre", 0, Be16b(18)) +
                 Item("\xA9"
                      "day",
                      1, "1999-12-31T00:00:00Z") +
                 Item("covr", 13, Zeros(500));
    for (bool wide : {false, true}) {
        TTempFile f(Mp4(ilst, wide), ".m4a");
        TTagInfo info;
        ASSERT_TRUE(RunReaderStep("M4A", f.Path(), info)) << wide;
        EXPECT_EQ(info.Values(), (std::vector<std::string>{
                                     "Artist=Artist", "Title=Title é", "Year=1999", "Genre=Rock",
                                     "Track=7", "Codec=AAC", "Channels=2", "SampleRateHZ=44100",
                                     "BitRateKBS=128", "DurationSec=5"}))
            << wide;
    }
    // A text genre wins over the code.
    TMP4file m;
    ASSERT_TRUE(m.ReadFromFile(
        TTempFile(Mp4(Item("\xA9gen", 1, "Jazz") + Item("gnre", 0, Be16b(18))), ".m4a").Path()));
    EXPECT_EQ(m.Genre, "Jazz");
}

TEST(MP4file, AtomsThatLieEndTheWalk) {
    Bytes good = Mp4(Item("\xA9nam", 1, "T"));
    // The movie atom says it is longer than the file: nothing inside it is trusted.
    Bytes longer = good;
    const size_t moov = longer.find("moov") - 4;
    longer.replace(moov, 4, Be32b(0x7FFFFFF0));
    TMP4file m;
    ASSERT_TRUE(m.ReadFromFile(TTempFile(longer, ".m4a").Path()));
    EXPECT_EQ(m.Title, "");
    // Atoms nested far deeper than any real file: the walk stops, bounded.
    Bytes deep = Atom("ilst", Item("\xA9nam", 1, "Deep"));
    for (int i = 0; i < 2000; ++i)
        deep = Atom("udta", deep);
    ASSERT_TRUE(
        m.ReadFromFile(TTempFile(Atom("ftyp", "M4A ") + Atom("moov", deep), ".m4a").Path()));
    EXPECT_TRUE(m.Valid);
    EXPECT_EQ(m.Title, "");
    // Not MPEG-4 at all.
    TTagInfo info;
    EXPECT_FALSE(RunReaderStep("M4A", TTempFile(Zeros(64), ".m4a").Path(), info));
    EXPECT_TRUE(info.Empty());
}

TEST(OpusFile, LengthIsTheLastGranuleLessThePreSkip) {
    Bytes head = "OpusHead" + B("\x01\x02") + Le16b(312) + Le32b(44100) + Le16b(0) + B("\x00");
    Bytes tags = "OpusTags" + Le32b(3) + "lib" + Le32b(1) + Le32b(9) + "TITLE=Opu";
    Bytes file =
        OggPage({head}, 0, 7) + OggPage({tags}, 0, 7, 1) + OggPage({Zeros(100)}, 96312, 7, 2);
    TOpusFile o;
    ASSERT_TRUE(o.ReadFromFile(TTempFile(file, ".opus").Path()));
    ASSERT_TRUE(o.Valid);
    EXPECT_EQ(o.Channels, 2);
    EXPECT_EQ(o.InputSampleRate, 44100u);
    EXPECT_DOUBLE_EQ(o.Duration(), 2.0); // (96,312 - 312) / 48,000
    EXPECT_EQ(o.Comments.Title, "Opu");
    EXPECT_EQ(o.Comments.Vendor, "lib");
}

TEST(MusepackFile, StreamVersionSevenHeader) {
    // 100 frames of 1152 samples, the last holding 1000 (gapless): 115,048 samples at 48 kHz.
    Bytes sv7 = "MP+" + B("\x17") + Le32b(100) + Le32b(1u << 16) + Le32b(0) + Le32b(0) +
                Le32b(0x80000000u | 1000u << 20) + Zeros(200);
    TMusepackFile m;
    ASSERT_TRUE(m.ReadFromFile(TTempFile(sv7, ".mpc").Path()));
    EXPECT_EQ(m.StreamVersion, 7);
    EXPECT_EQ(m.SampleRate, 48000u);
    EXPECT_EQ(m.Samples, 115048);
    EXPECT_DOUBLE_EQ(m.Duration(), 115048 / 48000.0);
    // Without the gapless bit the last frame counts 576 samples.
    sv7.replace(20, 4, Le32b(0));
    ASSERT_TRUE(m.ReadFromFile(TTempFile(sv7, ".mpc").Path()));
    EXPECT_EQ(m.Samples, 99 * 1152 + 576);
    // SV8: 96,000 samples of which the first 2,400 are the encoder's silence,
    // 48 kHz stereo (flags 0x2010); the sizes are 7 bits a byte.
    Bytes sh =
        "SH" + B("\x0F") + Zeros(4) + B("\x08") + B("\x85\xEE\x00") + B("\x92\x60") + Be16b(0x2010);
    ASSERT_TRUE(m.ReadFromFile(TTempFile("MPCK" + sh + "SE" + B("\x03"), ".mpc").Path()));
    EXPECT_EQ(m.StreamVersion, 8);
    EXPECT_EQ(m.SampleRate, 48000u);
    EXPECT_EQ(m.Channels, 2);
    EXPECT_EQ(m.Samples, 93600);
    EXPECT_DOUBLE_EQ(m.Duration(), 1.95);
    // SV8 packets whose sizes run past the file end the walk.
    TTempFile bad("MPCK" + B("SH\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF") + Zeros(20), ".mpc");
    ASSERT_TRUE(m.ReadFromFile(bad.Path()));
    EXPECT_EQ(m.StreamVersion, 0);
}
