// MPEG audio streams as encoders other than the common one write them: layer I
// at every rate, VBRI and Info headers, gaps after the tag, long version
// texts, and video files that are not audio at all.
#include "tag_test_util.h"
#include "tags/mpeg_audio.h"
#include "tags/reader_steps.h"

#include <gtest/gtest.h>

namespace {

Bytes Frames(const Bytes& header, size_t len, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out += Pad(header, len);
    return out;
}

TMPEGaudio Read(const Bytes& content) {
    TTempFile f(content);
    TMPEGaudio m;
    EXPECT_TRUE(m.ReadFromFile(f.Path()));
    return m;
}

Bytes Id3Tag(size_t bodySize) {
    return B("ID3\3\0\0") + SyncSafe(static_cast<uint32_t>(bodySize)) + "TIT2" + Be32b(3) +
           B("\0\0\0Hi") + Zeros(bodySize - 13);
}

// MPEG 1 layer III, 128 kbit/s, 44,100 Hz, stereo: 417 bytes.
const Bytes kL3 = B("\xFF\xFB\x90\x00");

} // namespace

TEST(MPEGstream, LayerIFramesAreCountedInSlots) {
    // 384 kbit/s at 44,100 Hz: 4 x floor(12 x 384000 / 44100) = 416 bytes, 420 padded.
    const Bytes mpeg1 = B("\xFF\xFF\xC0\x00");
    TMPEGaudio m = Read(Frames(mpeg1, 416, 100));
    ASSERT_TRUE(m.Frame.Found);
    EXPECT_EQ(m.Frame.Size, 416);
    EXPECT_EQ(m.LayerName(), "Layer I");
    EXPECT_EQ(m.Frames(), 100);
    EXPECT_DOUBLE_EQ(m.Duration(), 41600 * 8 / 384000.0);
    m.Frame.PaddingBit = true;
    EXPECT_EQ(TMPEGaudio::FrameLength(m.Frame), 420);
    // MPEG 2 at 22,050 Hz, 128 kbit/s: 4 x 69 = 276; MPEG 2.5 at 11,025 Hz: 4 x 139 = 556.
    EXPECT_EQ(Read(Frames(B("\xFF\xF7\x80\x00"), 276, 20)).Frame.Size, 276);
    TMPEGaudio m25 = Read(Frames(B("\xFF\xE7\x80\x00"), 556, 20));
    EXPECT_EQ(m25.Frame.Size, 556);
    EXPECT_EQ(m25.SampleRate(), 11025u);
}

TEST(MPEGstream, VbriHeaderSitsThirtyTwoBytesAfterTheFrameHeader) {
    // MPEG 2 layer III, 64 kbit/s, 22,050 Hz, mono: 208 bytes; the Xing offset would be 13.
    const Bytes hdr = B("\xFF\xF3\x80\xC0");
    Bytes first =
        Pad(hdr + Zeros(32) + "VBRI" + Be16b(1) + Be16b(0) + Be16b(80) + Be32b(100000) + Be32b(500),
            208);
    TMPEGaudio m = Read(first + Frames(hdr, 208, 10));
    ASSERT_TRUE(m.VBR.Found);
    EXPECT_EQ(m.Frames(), 500);
    EXPECT_EQ(m.VBR.Scale, 80);
    // 500 frames of 576 samples at 22,050 Hz.
    EXPECT_DOUBLE_EQ(m.Duration(), 13.061224489795918);
    // 200 bytes a frame: 200 x 22050 / 72 / 1000 = 61.25.
    EXPECT_EQ(m.BitRate(), 61);
    EXPECT_EQ(m.EncoderName(), "FhG");
}

TEST(MPEGstream, InfoHeaderKeepsTheFrameBitRate) {
    // 1000 frames, 420,000 bytes: the average would give 129 kbit/s.
    Bytes info = Pad(kL3 + Zeros(32) + "Info" + Be32b(15) + Be32b(1000) + Be32b(420000) +
                         Zeros(100) + Be32b(57) + "LAME3.100",
                     417);
    TMPEGaudio m = Read(info + Frames(kL3, 417, 5));
    ASSERT_TRUE(m.VBR.Found);
    EXPECT_EQ(m.BitRate(), 128);
    EXPECT_DOUBLE_EQ(m.Duration(), 144 * 8 * 1000 / 44100.0);
    EXPECT_EQ(m.EncoderName(), "LAME 3.100");
    // A Xing header with the same numbers does average.
    Bytes xing = info;
    xing.replace(36, 4, "Xing");
    EXPECT_EQ(Read(xing + Frames(kL3, 417, 5)).BitRate(), 129);
}

TEST(MPEGstream, WholeVersionTextOfTheEncoder) {
    EXPECT_EQ(Read(Frames(kL3, 417, 20) + "LAME3.100" + Zeros(50)).EncoderName(), "LAME 3.100");
    EXPECT_EQ(Read(Frames(kL3, 417, 20) + "LAME3.99r" + Zeros(50)).EncoderName(), "LAME 3.99");
    EXPECT_EQ(Read(Frames(kL3, 417, 20) + "LAME3.90").EncoderName(), "LAME 3.90");
}

TEST(MPEGstream, FirstFrameFoundPastGapsAfterTheTag) {
    // 5,000 zero bytes between the tag and the first frame, which carries a Xing header.
    Bytes xing = Pad(kL3 + Zeros(32) + "Xing" + Be32b(15) + Be32b(1000) + Be32b(417000) +
                         Zeros(100) + Be32b(57) + "LAME3.99r",
                     417);
    Bytes tag = Id3Tag(200);
    TMPEGaudio m = Read(tag + Zeros(5000) + xing + Frames(kL3, 417, 5));
    ASSERT_TRUE(m.Frame.Found);
    EXPECT_EQ(m.Frame.Offset, 210 + 5000);
    EXPECT_TRUE(m.VBR.Found);
    EXPECT_EQ(m.Frames(), 1000);
    EXPECT_EQ(m.ID3v2.Title, "Hi");
    // A second tag after the first, then the audio.
    TMPEGaudio twice = Read(tag + Id3Tag(4000) + Frames(kL3, 417, 10));
    EXPECT_EQ(twice.Frame.Offset, 210 + 4010);
    EXPECT_EQ(twice.Frames(), 10);
    // The search is bounded: audio 2 MiB after the tag is not looked for there.
    Bytes far = tag + Zeros(2 << 20) + Frames(kL3, 417, 3);
    TTempFile farFile(far);
    TMPEGaudio none;
    ASSERT_TRUE(none.ReadFromFile(farFile.Path()));
    EXPECT_FALSE(none.Frame.Found);
}

TEST(MPEGstream, ProgramAndTransportStreamsAreNotAudio) {
    const Bytes audio = Frames(kL3, 417, 30);
    Bytes ts = Pad(B("\x47\x40\x00\x10"), 188) + Pad(B("\x47\x40\x00\x11"), 188) + audio;
    Bytes m2ts =
        Pad(Zeros(4) + B("\x47\x40\x00\x10"), 192) + Pad(Zeros(4) + B("\x47"), 192) + audio;
    for (const Bytes& video : {B("\0\0\1\xBA\x44") + Zeros(200) + audio,
                               B("\0\0\1\xB3\x16") + Zeros(100) + audio, ts, m2ts}) {
        TTempFile f(video, ".mpg");
        TTagInfo info;
        EXPECT_FALSE(RunReaderStep("MPG", f.Path(), info));
        EXPECT_TRUE(info.Empty()) << info.Text();
    }
    // The same frames on their own are audio.
    TTempFile plain(audio, ".mpg");
    TTagInfo info;
    EXPECT_TRUE(RunReaderStep("MPG", plain.Path(), info));
    EXPECT_EQ(info.Value("BitRateKBS"), "128");
}
