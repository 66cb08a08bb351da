// Stream readers on hand-built files: MPEG, WAV, CD track, WavPack, WMA, Ogg,
// TwinVQ, FLAC, OptimFROG, AAC.
#include "tag_test_util.h"
#include "tags/aac_file.h"
#include "tags/cda_track.h"
#include "tags/flac_file.h"
#include "tags/mpeg_audio.h"
#include "tags/ogg_vorbis.h"
#include "tags/optimfrog_file.h"
#include "tags/reader_steps.h"
#include "tags/twinvq_file.h"
#include "tags/wav_file.h"
#include "tags/wavpack_file.h"
#include "tags/wma_file.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// MPEG 1 layer III, 128 kbit/s, 44100 Hz, stereo: 417 bytes a frame.
const Bytes kHdr128 = B("\xFF\xFB\x90\x00");

Bytes CbrFrames(int n, const Bytes& header = kHdr128, size_t len = 417) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out += Pad(header, len);
    return out;
}

} // namespace

TEST(MPEGaudio, FrameLengthsAndSearch) {
    TMPEGaudio::TFrame f;
    TMPEGaudio::TVBR v;
    Bytes w = CbrFrames(3);
    ASSERT_TRUE(TMPEGaudio::FindFrame(reinterpret_cast<const unsigned char*>(w.data()),
                                      static_cast<int>(w.size()), f, v));
    EXPECT_EQ(f.Size, 417);
    EXPECT_EQ(f.Position, 0);
    f.PaddingBit = true;
    EXPECT_EQ(TMPEGaudio::FrameLength(f), 418);
    // A header whose successor is not at the frame length is skipped.
    Bytes lone = kHdr128 + Zeros(500) + CbrFrames(2);
    ASSERT_TRUE(TMPEGaudio::FindFrame(reinterpret_cast<const unsigned char*>(lone.data()),
                                      static_cast<int>(lone.size()), f, v));
    EXPECT_EQ(f.Position, 504);
    // MPEG 2 layer II at 16 kHz, 32 kbit/s: 1152 samples, so 288 bytes.
    Bytes l2 = CbrFrames(3, B("\xFF\xF5\x48\xC0"), 288);
    ASSERT_TRUE(TMPEGaudio::FindFrame(reinterpret_cast<const unsigned char*>(l2.data()),
                                      static_cast<int>(l2.size()), f, v));
    EXPECT_EQ(f.Size, 288);
}

TEST(MPEGaudio, CbrAndXingDurations) {
    // 1,000,000 bytes of 128 kbit/s frames, no tags: 62.5 s, 2398 frames.
    Bytes body = CbrFrames(2398);
    body.resize(1000000, '\0');
    TTempFile cbr(body);
    TMPEGaudio m;
    ASSERT_TRUE(m.ReadFromFile(cbr.Path()));
    EXPECT_DOUBLE_EQ(m.Duration(), 62.5);
    EXPECT_EQ(m.Frames(), 2398);
    EXPECT_EQ(m.BitRate(), 128);
    EXPECT_EQ(m.SampleRate(), 44100u);
    EXPECT_EQ(m.VersionName(), "MPEG 1");
    EXPECT_EQ(m.LayerName(), "Layer III");
    EXPECT_EQ(m.ChannelModeName(), "Stereo");
    // The same frames after a 4,096-byte ID3v2 tag: the tag is no audio, still 62.5 s.
    TTempFile tagged(B("ID3\x03\x00\x00\x00\x00\x1F\x76") + Zeros(4086) + body);
    TMPEGaudio t;
    ASSERT_TRUE(t.ReadFromFile(tagged.Path()));
    EXPECT_EQ(t.Frame.Offset, 4096);
    EXPECT_DOUBLE_EQ(t.Duration(), 62.5);

    // A Xing header of 1000 frames: 144 * 8 * 1000 / 44100 s.
    Bytes xing = Pad(kHdr128 + Zeros(32) + "Xing" + Be32b(15) + Be32b(1000) + Be32b(417000) +
                         Zeros(103) + "\x50" + "MPGE1.00",
                     417);
    TTempFile vbr(xing + CbrFrames(5));
    ASSERT_TRUE(m.ReadFromFile(vbr.Path()));
    EXPECT_TRUE(m.VBR.Found);
    EXPECT_DOUBLE_EQ(m.Duration(), 26.122448979591837);
    EXPECT_EQ(m.Frames(), 1000);
    EXPECT_EQ(m.EncoderID(), 5); // MPGE
}

TEST(MPEGaudio, EncoderMarkAndShortFiles) {
    Bytes body = CbrFrames(20) + "LAME3.92" + Zeros(100);
    TTempFile f(body);
    TMPEGaudio m;
    ASSERT_TRUE(m.ReadFromFile(f.Path()));
    EXPECT_EQ(m.EncoderID(), 3);
    EXPECT_EQ(m.EncoderName(), "LAME 3.92");
    // A mark search in a window shorter than the frame length stays inside it.
    Bytes w = "LAME3.99";
    EXPECT_EQ(TMPEGaudio::FindVendorID(reinterpret_cast<const unsigned char*>(w.data()), 8, 1700),
              "LAME3.99");
    EXPECT_EQ(TMPEGaudio::FindVendorID(reinterpret_cast<const unsigned char*>(w.data()), 4, 1700),
              "");
    // Whole file shorter than the window, with a mark in it.
    TTempFile shortFile(CbrFrames(3) + "GOGO" + Zeros(20));
    ASSERT_TRUE(m.ReadFromFile(shortFile.Path()));
    EXPECT_EQ(m.EncoderID(), 5);

    TTempFile tiny(Zeros(100));
    EXPECT_FALSE(m.ReadFromFile(tiny.Path()));
    TTempFile noFrame(Zeros(1000));
    ASSERT_TRUE(m.ReadFromFile(noFrame.Path()));
    EXPECT_EQ(m.VersionName(), "MPEG ?");
    EXPECT_EQ(m.LayerName(), "Layer ?");
    EXPECT_EQ(m.ChannelModeName(), "Unknown");
    EXPECT_EQ(m.Duration(), 0);
    EXPECT_EQ(m.EncoderName(), "Unknown");
}

TEST(MPEGaudio, FramesPastTwoGiBKeepTheirLength) {
    TMPEGaudio m;
    m.Frame.Found = true;
    Bytes h = kHdr128;
    TMPEGaudio::TVBR v;
    Bytes w = CbrFrames(3);
    TMPEGaudio::FindFrame(reinterpret_cast<const unsigned char*>(w.data()),
                          static_cast<int>(w.size()), m.Frame, v);
    m.FileLength = 5'000'000'000LL;
    EXPECT_DOUBLE_EQ(m.Duration(), 312500.0);
    EXPECT_EQ(m.Frames(), 5'000'000'000LL / 417);
}

namespace {

Bytes WavHeader(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t riffSize) {
    return "RIFF" + Le32b(riffSize) + "WAVEfmt " + Le32b(16) + Le16b(1) + Le16b(channels) +
           Le32b(rate) + Le32b(rate * channels * bits / 8) + Le16b(channels * bits / 8) +
           Le16b(bits) + "data" + Le32b(riffSize - 36);
}

} // namespace

TEST(WAVfile, HeaderValuesAndDuration) {
    TWAVfile w;
    TTempFile short43(Zeros(43));
    EXPECT_FALSE(w.ReadFromFile(short43.Path()));
    TTempFile three(WavHeader(3, 44100, 16, 264636));
    ASSERT_TRUE(w.ReadFromFile(three.Path()));
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(w.Channels, 3);
    EXPECT_EQ(w.ChannelModeName(), "Unknown");
    EXPECT_EQ(w.Duration(), 1.0);

    TTempFile one(WavHeader(2, 44100, 16, 176436));
    ASSERT_TRUE(w.ReadFromFile(one.Path()));
    EXPECT_EQ(w.FileSize, 176444);
    EXPECT_DOUBLE_EQ(w.Duration(), 1.0);
    // All 32 bits of the rate; a RIFF size near 4 GiB without overflow.
    TTempFile hi(WavHeader(2, 96000, 24, 0xFFFFFFF0u));
    ASSERT_TRUE(w.ReadFromFile(hi.Path()));
    EXPECT_EQ(w.SampleRate, 96000u);
    EXPECT_DOUBLE_EQ(w.Duration(), 7456.5403541666665); // 4,294,967,244 bytes of data
    TTempFile gig(WavHeader(2, 44100, 16, 1000000000));
    ASSERT_TRUE(w.ReadFromFile(gig.Path()));
    EXPECT_DOUBLE_EQ(w.Duration(), 5668.934036281179);
}

TEST(WAVfile, ExtensibleRf64AndChunksBeforeTheFormat) {
    // JUNK, then WAVE_FORMAT_EXTENSIBLE with 6 channels of 24-bit PCM at 48 kHz, then LIST.
    Bytes fmt = Le16b(0xFFFE) + Le16b(6) + Le32b(48000) + Le32b(864000) + Le16b(18) + Le16b(24) +
                Le16b(22) + Le16b(24) + Le32b(0x3F) + Le16b(1) + Zeros(14);
    Bytes body = "WAVEJUNK" + Le32b(28) + Zeros(28) + "fmt " + Le32b(40) + fmt + "LIST" + Le32b(3) +
                 "abc" + Bytes(1, '\0') + "data" + Le32b(432000) + Zeros(64);
    TTempFile ext("RIFF" + Le32b(static_cast<uint32_t>(body.size() + 431936)) + body, ".wav");
    TTagInfo info;
    ASSERT_TRUE(RunReaderStep("WAV", ext.Path(), info));
    EXPECT_EQ(info.Values(), (std::vector<std::string>{"Channels=6", "SampleRateHZ=48000",
                                                       "BitsPerSample=24", "DurationSec=0.5"}));
    // RF64: the sizes past 4 GiB come from ds64. 6,000,000,000 bytes of 16-bit stereo at 48 kHz.
    Bytes rf = "RF64" + Le32b(0xFFFFFFFF) + "WAVEds64" + Le32b(28) + Le64b(6000000100) +
               Le64b(6000000000) + Le64b(1500000000) + Le32b(0) + "fmt " + Le32b(16) + Le16b(1) +
               Le16b(2) + Le32b(48000) + Le32b(192000) + Le16b(4) + Le16b(16) + "data" +
               Le32b(0xFFFFFFFF) + Zeros(16);
    TTempFile big(rf, ".wav");
    TWAVfile w;
    ASSERT_TRUE(w.ReadFromFile(big.Path()));
    EXPECT_EQ(w.DataSize, 6000000000);
    EXPECT_DOUBLE_EQ(w.Duration(), 31250.0);
}

TEST(CDAtrack, TrackFileAndDiscList) {
    Bytes track = "RIFF" + Le32b(36) + "CDDAfmt " + Le32b(24) + Le16b(1) + Le16b(3) +
                  Le32b(0x1234ABCD) + Le32b(150) + Le32b(13500) + Le32b(0) + Le32b(0);
    TTempFile f(track, ".cda");
    TTempFile list("[1234ABCD]\r\nartist=Band\r\ntitle=Disc\r\n3=Third\r\n[FF]\r\n3=Other\r\n",
                   ".ini");
    TCDAtrack::SetDiscListPath(list.Path());
    TCDAtrack c;
    ASSERT_TRUE(c.ReadFromFile(f.Path()));
    EXPECT_TRUE(c.Valid);
    EXPECT_EQ(c.Track, 3);
    EXPECT_DOUBLE_EQ(c.Position, 2.0);
    EXPECT_DOUBLE_EQ(c.Duration, 180.0);
    EXPECT_EQ(c.Title, "Third");
    EXPECT_EQ(c.Artist, "Band");
    EXPECT_EQ(c.Album, "Disc");
    TTempFile other(track.substr(0, 24) + Le32b(0x77) + track.substr(28), ".cda");
    ASSERT_TRUE(c.ReadFromFile(other.Path()));
    EXPECT_EQ(c.Title, "");
    EXPECT_DOUBLE_EQ(c.Duration, 180.0);
    TCDAtrack::SetDiscListPath("");
    TTempFile notCda("RIFF" + Le32b(36) + "WAVEfmt " + Zeros(28));
    ASSERT_TRUE(c.ReadFromFile(notCda.Path()));
    EXPECT_FALSE(c.Valid);
    EXPECT_FALSE(c.ReadFromFile("/nonexistent/track01.cda"));
}

namespace {

Bytes Chunk(const Bytes& id, const Bytes& data) {
    Bytes c = id + Le32b(static_cast<uint32_t>(data.size())) + data;
    if (data.size() & 1) c += '\0';
    return c;
}

Bytes Fmt(uint16_t channels, uint32_t rate, uint16_t bits) {
    return Chunk("fmt ", Le16b(1) + Le16b(channels) + Le32b(rate) +
                             Le32b(rate * channels * bits / 8) + Le16b(channels * bits / 8) +
                             Le16b(bits));
}

Bytes Riff(const Bytes& chunks, const Bytes& form = "WAVE") {
    return "RIFF" + Le32b(static_cast<uint32_t>(chunks.size() + 4)) + form + chunks;
}

} // namespace

TEST(WAVPackfile, RiffLayouts) {
    TWAVPackfile w;
    TTempFile avi(Riff(Chunk("LIST", Zeros(20)), "AVI "));
    ASSERT_TRUE(w.ReadFromFile(avi.Path()));
    EXPECT_FALSE(w.Valid);

    // PCM: 10 s at 1411.2 kbit/s, the data chunk before fmt is skipped, odd chunks are padded.
    TTempFile pcm(Riff(Chunk("data", Zeros(4)) + Chunk("junk", Zeros(3)) + Fmt(2, 44100, 16) +
                       Chunk("data", Zeros(1764000))));
    ASSERT_TRUE(w.ReadFromFile(pcm.Path()));
    EXPECT_TRUE(w.Valid);
    EXPECT_DOUBLE_EQ(w.BitRate, 1411.2);
    EXPECT_DOUBLE_EQ(w.Duration, 10.0);

    // A data chunk longer than the file: the bytes present count.
    Bytes cut = Riff(Fmt(2, 44100, 16) + "data" + Le32b(1764000) + Zeros(176400));
    TTempFile cutFile(cut);
    ASSERT_TRUE(w.ReadFromFile(cutFile.Path()));
    EXPECT_DOUBLE_EQ(w.Duration, 1.0);

    // Version 3: a WavPack block header at the start of the data.
    Bytes wv3 = "wvpk" + Le32b(1000) + Le16b(3) + Le16b(16) + Le16b(0) + Le16b(0) + Le32b(441000) +
                Zeros(16);
    Bytes file = Riff(Fmt(2, 44100, 16) + Chunk("data", wv3 + Zeros(2000)));
    TTempFile v3(file);
    ASSERT_TRUE(w.ReadFromFile(v3.Path()));
    EXPECT_EQ(w.Version, 3);
    EXPECT_EQ(w.Channels, 2);
    EXPECT_DOUBLE_EQ(w.Duration, 10.0);
    EXPECT_DOUBLE_EQ(w.BitRate, (file.size() - 1000.0) * 8 / 10000);

    // A chunk of size 0 ends the walk.
    TTempFile zero(Riff(Chunk("junk", "") + Fmt(2, 44100, 16)));
    ASSERT_TRUE(w.ReadFromFile(zero.Path()));
    EXPECT_FALSE(w.Valid);
}

TEST(WAVPackfile, BlockLayout) {
    // Version 4 block: 22050 Hz (index 6), mono, 2 bytes a sample, 44100 samples;
    // then a sample-rate sub-block that overrides a custom rate.
    uint32_t flags = (6u << 23) | 4u | 1u;
    Bytes block = "wvpk" + Le32b(24 + 100) + Le16b(0x410) + Bytes(1, '\0') + Bytes(1, '\0') +
                  Le32b(44100) + Le32b(0) + Le32b(44100) + Le32b(flags) + Le32b(0) + Zeros(100);
    TTempFile f(block);
    TWAVPackfile w;
    ASSERT_TRUE(w.ReadFromFile(f.Path()));
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(w.Channels, 1);
    EXPECT_EQ(w.SampleRate, 22050);
    EXPECT_EQ(w.Bits, 16);
    EXPECT_DOUBLE_EQ(w.Duration, 2.0);
    uint32_t custom = (15u << 23) | 1u;
    Bytes sub = Bytes(1, '\x27') + Bytes(1, '\x02') + Bytes("\x80\xBB\x00\x00", 4); // 48000
    Bytes b2 = "wvpk" + Le32b(24 + 6) + Le16b(0x410) + Zeros(2) + Le32b(48000) + Le32b(0) +
               Le32b(48000) + Le32b(custom) + Le32b(0) + sub;
    TTempFile f2(b2);
    ASSERT_TRUE(w.ReadFromFile(f2.Path()));
    EXPECT_EQ(w.SampleRate, 48000);
    EXPECT_EQ(w.Channels, 2);
    EXPECT_DOUBLE_EQ(w.Duration, 1.0);
}

namespace {

Bytes Guid(const char* hex) {
    Bytes b;
    for (int i = 0; i < 16; ++i)
        b += static_cast<char>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
    return b;
}
const char* kHeaderG = "3026B2758E66CF11A6D900AA0062CE6C";
const char* kFileG = "A1DCAB8C47A9CF118EE400C00C205365";
const char* kStreamG = "9107DCB7B7A9CF118EE600C00C205365";
const char* kContentG = "3326B2758E66CF11A6D900AA0062CE6C";
const char* kExtG = "40A4D0D207E3D21197F000A0C95EA850";
const char* kAudioG = "409E69F84D5BCF11A8FD00805F5C442B";

Bytes Obj(const char* guid, const Bytes& body) {
    return Guid(guid) + Le64b(body.size() + 24) + body;
}
Bytes U16(const std::string& ascii) {
    Bytes b;
    for (char c : ascii)
        b += Bytes(1, c) + Bytes(1, '\0');
    return b + Zeros(2);
}
Bytes FileProps(uint32_t maxBitRate, uint64_t play100ns = 0) {
    return Obj(kFileG, Zeros(16) + Le64b(0) + Le64b(0) + Le64b(0) + Le64b(play100ns) + Le64b(0) +
                           Le64b(0) + Le32b(0) + Le32b(0) + Le32b(0) + Le32b(maxBitRate));
}
Bytes StreamProps(uint16_t ch, uint32_t rate, uint32_t byteRate) {
    return Obj(kStreamG, Guid(kAudioG) + Zeros(16) + Le64b(0) + Le32b(18) + Le32b(0) + Le16b(1) +
                             Le32b(0) + Le16b(0x161) + Le16b(ch) + Le32b(rate) + Le32b(byteRate) +
                             Zeros(8));
}
Bytes Descriptor(const std::string& name, uint16_t type, const Bytes& value) {
    Bytes n = U16(name);
    return Le16b(static_cast<uint32_t>(n.size())) + n + Le16b(type) +
           Le16b(static_cast<uint32_t>(value.size())) + value;
}
Bytes Asf(const std::vector<Bytes>& objects, size_t fileSize = 0) {
    Bytes all;
    for (const auto& o : objects)
        all += o;
    Bytes f = Guid(kHeaderG) + Le64b(all.size() + 30) +
              Le32b(static_cast<uint32_t>(objects.size())) + B("\x01\x02") + all;
    if (f.size() < fileSize) f.resize(fileSize, '\0');
    return f;
}

} // namespace

TEST(WMAfile, FormatChecksAndDuration) {
    TWMAfile w;
    TTempFile notAsf(Zeros(100));
    ASSERT_TRUE(w.ReadFromFile(notAsf.Path()));
    EXPECT_FALSE(w.Valid);
    TTempFile f(Asf({FileProps(128000), StreamProps(2, 44100, 16000)}, 4000000));
    ASSERT_TRUE(w.ReadFromFile(f.Path()));
    EXPECT_TRUE(w.Valid);
    EXPECT_DOUBLE_EQ(w.Duration, 250.0);
    EXPECT_EQ(w.BitRate, 128);
    EXPECT_EQ(w.ChannelModeName(), "Stereo");
    // The play duration (minus no preroll) wins over the size estimate.
    TTempFile play(Asf({FileProps(128000, 30'000'000), StreamProps(2, 44100, 16000)}));
    ASSERT_TRUE(w.ReadFromFile(play.Path()));
    EXPECT_DOUBLE_EQ(w.Duration, 3.0);
    // Implausible stream values are dropped one by one; the file stays recognised.
    TTempFile b(Asf({FileProps(128000), StreamProps(0, 500, 20'000'000)}));
    ASSERT_TRUE(w.ReadFromFile(b.Path()));
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(w.SampleRate, 0);
    EXPECT_EQ(w.BitRate, 0);
    EXPECT_EQ(w.ChannelModeName(), "Unknown");
}

TEST(WMAfile, MultichannelHighRateKeepsTagsAndStreamValues) {
    // 6 channels at 96 kHz and 1,152 kbit/s: every value is reported, the title too.
    Bytes title = U16("Surround");
    Bytes content = Obj(kContentG, Le16b(static_cast<uint32_t>(title.size())) + Le16b(0) +
                                       Le16b(0) + Le16b(0) + Le16b(0) + title);
    TTempFile f(Asf({FileProps(1'200'000, 50'000'000), StreamProps(6, 96000, 144000), content}),
                ".wma");
    TTagInfo info;
    ASSERT_TRUE(RunReaderStep("WMA", f.Path(), info));
    EXPECT_EQ(info.Values(),
              (std::vector<std::string>{"Title=Surround", "Channels=6", "SampleRateHZ=96000",
                                        "BitRateKBS=1152", "DurationSec=5"}));
}

TEST(WMAfile, ContentDescriptions) {
    Bytes title = U16("T"), author = U16("Au"), desc = U16("D");
    Bytes content = Obj(kContentG, Le16b(static_cast<uint32_t>(title.size())) +
                                       Le16b(static_cast<uint32_t>(author.size())) + Le16b(0) +
                                       Le16b(static_cast<uint32_t>(desc.size())) + Le16b(0) +
                                       title + author + desc);
    Bytes ext =
        Obj(kExtG,
            Le16b(4) + Descriptor("WM/Track", 0, U16("5")) + Descriptor("WM/Year", 3, Le32b(1999)) +
                Descriptor("WM/ALBUMTITLE", 0, U16("Alb")) + Descriptor("WM/Genre", 0, U16("G")));
    Bytes longTitle;
    for (int i = 0; i < 300; ++i)
        longTitle += B("x\0");
    Bytes longContent =
        Obj(kContentG, Le16b(600) + Le16b(0) + Le16b(0) + Le16b(0) + Le16b(0) + longTitle);
    TTempFile f(Asf({longContent, FileProps(64000), content, StreamProps(1, 22050, 8000), ext}));
    TWMAfile w;
    ASSERT_TRUE(w.ReadFromFile(f.Path()));
    ASSERT_TRUE(w.Valid);
    EXPECT_EQ(w.Title, "T");
    EXPECT_EQ(w.Artist, "Au");
    EXPECT_EQ(w.Comment, "D");
    EXPECT_EQ(w.Track, 5);
    EXPECT_EQ(w.Album, "Alb");
    EXPECT_EQ(w.Genre, "G");
    EXPECT_EQ(w.Year, "");
    // An object whose size lies ends the walk instead of running off; what
    // came before it stays.
    Bytes bad = Asf({content, FileProps(64000), StreamProps(1, 22050, 8000)});
    bad.replace(30 + content.size() + 16, 8, Le64b(3));
    TTempFile badFile(bad);
    ASSERT_TRUE(w.ReadFromFile(badFile.Path()));
    EXPECT_EQ(w.Title, "T");
    EXPECT_EQ(w.SampleRate, 0);
}

namespace {

Bytes IdHeader(uint8_t ch, uint32_t rate, uint32_t nominal) {
    return "\1vorbis" + Le32b(0) + Bytes(1, static_cast<char>(ch)) + Le32b(rate) + Le32b(0) +
           Le32b(nominal) + Le32b(0) + B("\xB8\x01");
}

Bytes CommentHeader(const std::vector<Bytes>& items) {
    Bytes c = "\3vorbis" + Le32b(6) + "Vendor" + Le32b(static_cast<uint32_t>(items.size()));
    for (const auto& i : items)
        c += Le32b(static_cast<uint32_t>(i.size())) + i;
    return c + "\1";
}

} // namespace

TEST(OggVorbis, HeadersCommentsAndLastPage) {
    Bytes head = OggPage({IdHeader(2, 44100, 128000)}, 0) +
                 OggPage({CommentHeader({"title=A", "TITLE=B", "ARTIST=\xC3\xA9",
                                         "TRACKNUMBER=300/400", "DATE=2001"})},
                         0, 1, 1);
    Bytes file = head + Zeros(5000000 - head.size() - 58) + OggPage({Zeros(30)}, 13230000, 1, 9);
    TTempFile f(file);
    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(f.Path()));
    EXPECT_TRUE(o.Valid);
    // A field written twice keeps both values.
    EXPECT_EQ(o.Title, "A / B");
    EXPECT_EQ(o.Artist, "é");
    EXPECT_EQ(o.Track, 300);
    EXPECT_EQ(o.Date, "2001");
    EXPECT_EQ(o.Vendor, "Vendor");
    EXPECT_EQ(o.FileSize, 5000000);
    EXPECT_EQ(o.Samples, 13230000);
    EXPECT_DOUBLE_EQ(o.Duration(), 300.0);
    EXPECT_EQ(o.BitRate(), 133u);
}

TEST(OggVorbis, NoLastPageAndOddRates) {
    Bytes head = OggPage({IdHeader(2, 44100, 128000)}, 0) +
                 OggPage({CommentHeader({"TRACKNUMBER=x"})}, 0, 1, 1);
    TTempFile f(head + Zeros(4000000 - head.size()));
    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(f.Path()));
    EXPECT_EQ(o.Track, 0);
    EXPECT_DOUBLE_EQ(o.Duration(), 250.0);
    Bytes hi = OggPage({IdHeader(2, 96000, 128000)}, 0) + OggPage({CommentHeader({})}, 0, 1, 1) +
               OggPage({Zeros(10)}, 96000, 1, 2);
    TTempFile hiFile(hi);
    ASSERT_TRUE(o.ReadFromFile(hiFile.Path()));
    EXPECT_EQ(o.SampleRate, 96000u);
    EXPECT_EQ(o.Duration(), 1.0);
    // The 64-bit granule of a long file is kept.
    Bytes longer = OggPage({IdHeader(1, 8000, 0)}, 0) + OggPage({CommentHeader({})}, 0, 1, 1) +
                   OggPage({Zeros(10)}, 0x100000000LL, 1, 2);
    TTempFile longFile(longer);
    ASSERT_TRUE(o.ReadFromFile(longFile.Path()));
    EXPECT_EQ(o.Samples, 0x100000000LL);
}

TEST(OggVorbis, SixChannelsAndTheLastPageOfTheVorbisStream) {
    // A second logical stream (serial 2) whose pages come last, with a larger granule.
    Bytes file = OggPage({IdHeader(6, 48000, 0)}, 0, 1) +
                 OggPage({B("\x80theora") + Zeros(40)}, 0, 2) +
                 OggPage({CommentHeader({"TITLE=Six"})}, 0, 1, 1) +
                 OggPage({Zeros(100)}, 96000, 1, 2) + OggPage({Zeros(100)}, 999999, 2, 1);
    TTempFile f(file, ".ogg");
    TTagInfo info;
    ASSERT_TRUE(RunReaderStep("OGG", f.Path(), info));
    EXPECT_EQ(info.Value("Title"), "Six");
    EXPECT_EQ(info.Value("Channels"), "6");
    EXPECT_EQ(info.Value("ChannelModeName"), "");
    EXPECT_EQ(info.Value("SampleRateHZ"), "48000");
    EXPECT_EQ(info.Value("DurationSec"), "2");
}

TEST(OggVorbis, CommentsAcrossPagesAndLongItems) {
    // A 10,000-byte picture item, then an artist item; the packet spans three pages.
    Bytes comment = CommentHeader({"METADATA_BLOCK_PICTURE=" + Bytes(10000, 'p'), "ARTIST=After"});
    // Pages that continue a packet end on full segments.
    Bytes p1 = comment.substr(0, 3825), p2 = comment.substr(3825, 4080), p3 = comment.substr(7905);
    Bytes file = OggPage({IdHeader(1, 16000, 64000)}, 0) + OggPage({p1}, -1, 1, 1, false, true) +
                 OggPage({p2}, -1, 1, 2, true, true) + OggPage({p3}, 0, 1, 3, true) +
                 OggPage({Zeros(50)}, 16000, 1, 4);
    TTempFile f(file);
    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(f.Path()));
    EXPECT_EQ(o.Artist, "After");
    EXPECT_DOUBLE_EQ(o.Duration(), 1.0);
}

TEST(TwinVQ, HeaderAndChunks) {
    TTwinVQ t;
    TTempFile short39(Zeros(39));
    EXPECT_FALSE(t.ReadFromFile(short39.Path()));
    auto header = [](uint32_t mode, uint32_t rate, uint32_t code) {
        return "TWIN97012000" + Be32b(100) + "COMM" + Be32b(16) + Be32b(mode) + Be32b(rate) +
               Be32b(code) + Be32b(0);
    };
    Bytes chunks = "NAME" + Be32b(5) + "Hello" + "COMT" + Be32b(400) + Bytes(400, 'c') + "AUTH" +
                   Be32b(2) + "Me" + "DATA" + Be32b(0);
    Bytes file = header(1, 96, 44) + chunks;
    file.resize(1000120, '\0');
    TTempFile f(file);
    ASSERT_TRUE(t.ReadFromFile(f.Path()));
    EXPECT_TRUE(t.Valid);
    EXPECT_EQ(t.ChannelModeName(), "Stereo");
    EXPECT_EQ(t.SampleRate, 44100u);
    EXPECT_DOUBLE_EQ(t.Duration, 83.33333333333333);
    EXPECT_EQ(t.Title, "Hello");
    EXPECT_EQ(t.Comment, Bytes(250, 'c'));
    EXPECT_EQ(t.Author, "Me");
    TTempFile rates(header(0, 256, 8) + "\x01XYZ" + Be32b(2) + "ab");
    ASSERT_TRUE(t.ReadFromFile(rates.Path()));
    EXPECT_EQ(t.SampleRate, 8000u);
    EXPECT_EQ(t.BitRate, 256); // no longer cut to 8 bits
    EXPECT_EQ(t.ChannelModeName(), "Mono");
    TTempFile r11(header(0, 48, 11));
    ASSERT_TRUE(t.ReadFromFile(r11.Path()));
    EXPECT_EQ(t.SampleRate, 11025u);
}

namespace {

Bytes FlacHeader(uint32_t rate, unsigned channels, unsigned bits, uint64_t samples) {
    Bytes h = "fLaC" + B("\x80\x00\x00\x22") + Be16b(4096) + Be16b(4096) + Zeros(6);
    uint64_t v = static_cast<uint64_t>(rate) << 44 | static_cast<uint64_t>(channels - 1) << 41 |
                 static_cast<uint64_t>(bits - 1) << 36 | samples;
    for (int i = 7; i >= 0; --i)
        h += static_cast<char>((v >> (8 * i)) & 0xFF);
    return h + Zeros(16);
}

} // namespace

TEST(FLACfile, StreamInfo) {
    TTempFile f(FlacHeader(44100, 2, 16, 4410000) + Zeros(100));
    TFLACfile r;
    ASSERT_TRUE(r.ReadFromFile(f.Path()));
    EXPECT_EQ(r.Channels, 2);
    EXPECT_EQ(r.BitsPerSample, 16);
    EXPECT_EQ(r.SampleRate, 44100);
    EXPECT_DOUBLE_EQ(r.Duration(), 100.0);
    // All 36 bits of the sample count.
    TTempFile big(FlacHeader(96000, 6, 24, 0x9'0000'0000ULL));
    ASSERT_TRUE(r.ReadFromFile(big.Path()));
    EXPECT_EQ(r.Samples, 0x9'0000'0000LL);
    EXPECT_EQ(r.Channels, 6);
    EXPECT_EQ(r.BitsPerSample, 24);
    TTempFile not_flac(Zeros(100));
    EXPECT_FALSE(r.ReadFromFile(not_flac.Path()));
    // Behind an ID3v2 tag.
    Bytes id3 = B("ID3\4\0\0") + SyncSafe(20) + Zeros(20);
    TTempFile tagged(id3 + FlacHeader(8000, 1, 16, 8000));
    ASSERT_TRUE(r.ReadFromFile(tagged.Path()));
    EXPECT_DOUBLE_EQ(r.Duration(), 1.0);
}

// The Vorbis comment as the last metadata block carries the last-block bit
// in its type byte; natively after a padding block, and in Ogg.
TEST(FLACfile, CommentAsTheLastBlock) {
    Bytes comment = Le32b(3) + "lib" + Le32b(1) + Le32b(10) + "TITLE=Last";
    Bytes info = FlacHeader(8000, 1, 16, 16000);
    info[4] = '\0'; // more blocks follow STREAMINFO
    Bytes native = info + B("\x01\x00\x00\x08") + Zeros(8) + B("\x84\x00\x00") +
                   static_cast<char>(comment.size()) + comment + Zeros(64);
    TFLACfile r;
    ASSERT_TRUE(r.ReadFromFile(TTempFile(native, ".flac").Path()));
    EXPECT_EQ(r.VorbisComment.Title, "Last");
    EXPECT_DOUBLE_EQ(r.Duration(), 2.0);

    Bytes mapping = B("\x7F") + "FLAC" + B("\x01\x00") + Be16b(1) + info.substr(0, 42);
    Bytes block = B("\x84\x00\x00") + static_cast<char>(comment.size()) + comment;
    Bytes ogg =
        OggPage({mapping}, 0) + OggPage({block}, 0, 1, 1) + OggPage({Zeros(50)}, 16000, 1, 2);
    ASSERT_TRUE(r.ReadFromFile(TTempFile(ogg, ".oga").Path()));
    EXPECT_TRUE(r.Ogg);
    EXPECT_EQ(r.VorbisComment.Title, "Last");
}

TEST(OptimFrog, HeaderValues) {
    auto header = [](uint32_t len, uint16_t hi, uint8_t type, uint8_t mode, uint32_t rate,
                     uint16_t enc) {
        return "OFR " + Le32b(15) + Le32b(len) + Le16b(hi) + Bytes(1, static_cast<char>(type)) +
               Bytes(1, static_cast<char>(mode)) + Le32b(rate) + Le16b(enc) + Bytes(1, '\0');
    };
    TOptimFrog o;
    TTempFile f(header(8820000, 0, 2, 1, 44100, 320) + Zeros(200));
    ASSERT_TRUE(o.ReadFromFile(f.Path()));
    EXPECT_EQ(o.Samples(), 4410000);
    EXPECT_DOUBLE_EQ(o.Duration(), 100.0);
    EXPECT_EQ(o.EncoderVersion(), "4.520");
    EXPECT_EQ(o.BitsPerSample(), 16);
    EXPECT_EQ(o.ChannelModeName(), "Stereo");
    TTempFile hi(B("ID3\3\0\0") + SyncSafe(10) + Zeros(10) + header(0, 1, 9, 0, 48000, 0) +
                 Zeros(200));
    ASSERT_TRUE(o.ReadFromFile(hi.Path()));
    EXPECT_EQ(o.Samples(), 0x100000000LL);
    EXPECT_EQ(o.BitsPerSample(), -32);
    EXPECT_EQ(o.ChannelModeName(), "Mono");
    TTempFile bad(Zeros(200));
    EXPECT_FALSE(o.ReadFromFile(bad.Path()));
}

namespace {

// An ADTS frame header: MPEG-4 (id 0) or MPEG-2 (id 1), LC, 44100 Hz, 2 channels.
Bytes Adts(unsigned len, unsigned fullness, unsigned id = 0) {
    uint64_t v = 0xFFFull << 44 | static_cast<uint64_t>(id) << 43 | 1ull << 40 | 1ull << 38 |
                 4ull << 34 | 2ull << 30 | static_cast<uint64_t>(len) << 13 | fullness << 2;
    Bytes h;
    for (int i = 6; i >= 0; --i)
        h += static_cast<char>((v >> (8 * i)) & 0xFF);
    return Pad(h, len);
}

} // namespace

TEST(AACfile, AdtsFrames) {
    TAACfile a;
    TTempFile cbr(Adts(371, 0x100) + Adts(371, 0x100) + Zeros(200));
    ASSERT_TRUE(a.ReadFromFile(cbr.Path()));
    EXPECT_EQ(a.HeaderTypeName(), "ADTS");
    EXPECT_EQ(a.BitRate, 127821);
    EXPECT_EQ(a.BitrateTypeID, 1);
    EXPECT_EQ(a.MPEGVersionName(), "MPEG-4");
    EXPECT_EQ(a.ProfileName(), "AAC LC");
    EXPECT_EQ(a.SampleRate, 44100);
    EXPECT_EQ(a.Channels, 2);

    Bytes vbr;
    for (int i = 0; i < 100; ++i)
        vbr += Adts(400, 0x7FF, 1);
    Bytes v1 = "TAG" + Zeros(125);
    TTempFile vbrFile(vbr + v1);
    ASSERT_TRUE(a.ReadFromFile(vbrFile.Path()));
    EXPECT_EQ(a.BitrateTypeName(), "VBR");
    EXPECT_EQ(a.MPEGVersionName(), "MPEG-2");
    // 100 frames (the ID3v1 tag after them is not one): 40,000 x 8 / 1024 / 100 x 44,100
    // = 137,812.5, and 100 x 1024 samples.
    EXPECT_EQ(a.BitRate, 137812);
    EXPECT_DOUBLE_EQ(a.Duration(), 2.3219954648526078);

    TTempFile notAdts(B("\xFF\xE1") + Zeros(300));
    ASSERT_TRUE(a.ReadFromFile(notAdts.Path()));
    EXPECT_EQ(a.HeaderTypeID, 0);
    EXPECT_EQ(a.Duration(), 0);
    EXPECT_EQ(a.ProfileName(), "Unknown");
    // A frame length of 0 ends the walk.
    TTempFile zero(Adts(7, 0x7FF).substr(0, 3) + Bytes(1, '\x80') + Zeros(3) + Zeros(200));
    ASSERT_TRUE(a.ReadFromFile(zero.Path()));
}

TEST(AACfile, AdifHeader) {
    // "ADIF", copyright id present, then a CBR stream of 128,000 bit/s with one
    // element list: LC, 48 kHz, one front element.
    std::vector<int> bits;
    auto put = [&](uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits.push_back(i < 64 ? static_cast<int>((v >> i) & 1) : 0);
    };
    put(0x41444946, 32);
    put(1, 1);
    put(0, 72);
    put(0, 2);
    put(0, 1); // CBR
    put(128000, 23);
    put(0, 4);
    put(0, 20);
    put(0, 4);
    put(1, 2); // LC
    put(3, 4); // 48000
    put(1, 4);
    put(0, 4);
    put(0, 4);
    put(0, 2);
    while (bits.size() % 8)
        bits.push_back(0);
    Bytes b;
    for (size_t i = 0; i < bits.size(); i += 8) {
        int v = 0;
        for (int k = 0; k < 8; ++k)
            v = v << 1 | bits[i + k];
        b += static_cast<char>(v);
    }
    TTempFile f(b + Zeros(200));
    TAACfile a;
    ASSERT_TRUE(a.ReadFromFile(f.Path()));
    EXPECT_EQ(a.HeaderTypeName(), "ADIF");
    EXPECT_EQ(a.BitRate, 128000);
    EXPECT_EQ(a.MPEGVersionID, 2);
    EXPECT_EQ(a.BitrateTypeName(), "CBR");
    EXPECT_EQ(a.ProfileName(), "AAC LC");
    EXPECT_EQ(a.SampleRate, 48000);
    EXPECT_EQ(a.Channels, 1);
}

namespace {

// A sparse file of `size` bytes with `head` at the start and `tail` at the end.
void MakeSparse(const TTempFile& f, const Bytes& head, const Bytes& tail, uint64_t size) {
    f.Write(head);
    std::filesystem::resize_file(f.Path(), size - tail.size());
    std::ofstream out(f.Path(), std::ios::binary | std::ios::app);
    out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
}

} // namespace

TEST(LargeFiles, SizesPastFourGiBStayExact) {
    const uint64_t size = 5'000'000'000ULL;
    TTempFile f("");
    std::error_code ec;
    MakeSparse(f, CbrFrames(4), "TAG" + Pad("Far", 30) + Zeros(95), size);
    if (std::filesystem::file_size(f.Path(), ec) != size) GTEST_SKIP() << "no sparse files here";
    TMPEGaudio m;
    ASSERT_TRUE(m.ReadFromFile(f.Path()));
    EXPECT_EQ(m.FileLength, static_cast<int64_t>(size));
    EXPECT_EQ(m.ID3v1.Title, "Far");
    EXPECT_DOUBLE_EQ(m.Duration(), 312500.0);

    // Ogg: the last page lies past 4 GiB and its granule is above 2^32.
    Bytes head = OggPage({IdHeader(2, 48000, 128000)}, 0) + OggPage({CommentHeader({})}, 0, 1, 1);
    MakeSparse(f, head, OggPage({Zeros(20)}, 48000LL * 100000, 1, 5), size);
    TOggVorbis o;
    ASSERT_TRUE(o.ReadFromFile(f.Path()));
    EXPECT_EQ(o.FileSize, static_cast<int64_t>(size));
    EXPECT_DOUBLE_EQ(o.Duration(), 100000.0);

    MakeSparse(f, Adts(371, 0x100) + Adts(371, 0x100), "", size);
    TAACfile a;
    ASSERT_TRUE(a.ReadFromFile(f.Path()));
    EXPECT_DOUBLE_EQ(a.Duration(), 312937.62370815437); // 5,000,000,000 bytes at 127,821 bit/s
}
