#include "media/thumb_exif.h"
#include "media/thumb_maker.h"
#include "thumb_test_util.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <turbojpeg.h>

using namespace std::string_literals;

namespace {

TRgbImage DecodeJpeg(const std::string& jpeg) {
    TRgbImage img;
    tjhandle tj = tjInitDecompress();
    int sub = 0, space = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(tj, data, jpeg.size(), &img.Width, &img.Height, &sub, &space) == 0) {
        img.Pixels.resize(static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height) * 3);
        tjDecompress2(tj, data, jpeg.size(), img.Pixels.data(), img.Width, 0, img.Height, TJPF_RGB,
                      0);
    }
    tjDestroy(tj);
    return img;
}

// The thumbnail of a fixture against the reference tool's rendering: same
// shape within a pixel, and the same picture at the reference's size.
void ExpectLikeReference(const std::string& file, const std::string& reference, int w, int h) {
    SCOPED_TRACE(file);
    const TThumbMade made = MakeThumbnailOf(ThumbFixture(file));
    ASSERT_FALSE(made.Jpeg.empty()) << made.Why;
    EXPECT_EQ(made.Width, w);
    EXPECT_EQ(made.Height, h);
    const TRgbImage thumb = DecodeJpeg(made.Jpeg);
    ASSERT_EQ(thumb.Width, made.Width);
    const TRgbImage ref = ReadPpm(ThumbFixture(reference));
    ASSERT_FALSE(ref.Empty());
    const TRgbImage small = Reduce(thumb.Pixels.data(), thumb.Width, thumb.Height, thumb.Width * 3,
                                   3, ref.Width, ref.Height);
    EXPECT_LT(MeanDifference(small, ref), 12.0);
}

} // namespace

TEST(ThumbMaker, PhotosMatchTheReferenceToolTurnedUpright) {
    ExpectLikeReference("photo.jpg", "photo.ref.ppm", 256, 171);
    // Stored on its side with orientation 6: shown as the upright original.
    ExpectLikeReference("rotated.jpg", "rotated.ref.ppm", 256, 171);
    ExpectLikeReference("photo.tif", "photo_tif.ref.ppm", 256, 171);
    ExpectLikeReference("photo.webp", "photo_webp.ref.ppm", 256, 171);
    ExpectLikeReference("photo.heic", "photo_heic.ref.ppm", 256, 171);
    // A PNG shows as stored, its eXIf turn left aside, as the reference does.
    ExpectLikeReference("photo.png", "photo_png.ref.ppm", 171, 256);
}

TEST(ThumbMaker, EmbeddedPreviewIsUsedOnlyWhenLargeEnough) {
    // The 300x200 preview has its colours swapped: the thumbnail shows them.
    ExpectLikeReference("with_preview.jpg", "with_preview.ref.ppm", 256, 171);
    // A 120x80 preview is too small: the picture itself is decoded.
    ExpectLikeReference("small_preview.jpg", "photo.ref.ppm", 256, 171);
}

TEST(ThumbMaker, RotatedPhoneVideoShowsUpright) {
    ExpectLikeReference("phone.mp4", "phone.ref.ppm", 120, 160);
}

TEST(ThumbMaker, VideosWhoseKeyframeIsFarAwayEndWithinTheBudget) {
    // The only keyframe is the first frame, before where the seek lands.
    const std::string path = ThumbFixture("one_keyframe.ts");
    TThumbMade made = MakeThumbnailOf(path);
    ASSERT_FALSE(made.Jpeg.empty()) << made.Why;
    EXPECT_EQ(made.Width, 64);
    EXPECT_EQ(made.Height, 48);
    // Its start cut off: no keyframe at all. Refused, quickly, with a reason.
    const std::string cut = testing::TempDir() + "/thumb_cut.ts";
    {
        std::ofstream out(cut, std::ios::binary);
        out << ReadWhole(path).substr(4000);
    }
    const auto start = std::chrono::steady_clock::now();
    made = MakeThumbnailOf(cut);
    EXPECT_TRUE(made.Jpeg.empty());
    EXPECT_FALSE(made.Why.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    std::remove(cut.c_str());
}

TEST(ThumbMaker, RawPreviewIsFoundThroughTheTiffStructure) {
    // A raw file's shape: a TIFF whose first directory points at a JPEG preview.
    const std::string preview = ReadWhole(ThumbFixture("photo.jpg"));
    std::string raw = "II*\0\x08\0\0\0"s;
    auto u16 = [&](uint16_t v) {
        raw += static_cast<char>(v & 0xFF), raw += static_cast<char>(v >> 8);
    };
    auto u32 = [&](uint32_t v) {
        u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16));
    };
    const uint32_t at = 8 + 2 + 3 * 12 + 4;
    u16(3);
    u16(0x0112), u16(3), u32(1), u16(8), u16(0); // orientation 8
    u16(0x0201), u16(4), u32(1), u32(at);
    u16(0x0202), u16(4), u32(1), u32(static_cast<uint32_t>(preview.size()));
    u32(0);
    raw += preview;
    const auto* data = reinterpret_cast<const uint8_t*>(raw.data());
    const TTiffFacts facts = ReadTiffFacts(data, raw.size());
    EXPECT_EQ(facts.Orientation, 8);
    ASSERT_EQ(facts.Previews.size(), 1u);
    EXPECT_EQ(facts.Previews[0].Offset, at);
    const TThumbMade made = MakePhotoThumbnail(data, raw.size());
    ASSERT_FALSE(made.Jpeg.empty()) << made.Why;
    EXPECT_EQ(made.Width, 171); // turned a quarter back
    EXPECT_EQ(made.Height, 256);
    // A directory pointing past the end, or at itself, gives nothing and stops.
    std::string broken = raw.substr(0, 8 + 2 + 3 * 12 + 4);
    EXPECT_TRUE(ReadTiffFacts(reinterpret_cast<const uint8_t*>(broken.data()), broken.size())
                    .Previews.empty());
    std::string loop = raw;
    loop[8 + 2 + 3 * 12] = 8; // the next directory is the first again
    EXPECT_EQ(
        ReadTiffFacts(reinterpret_cast<const uint8_t*>(loop.data()), loop.size()).Previews.size(),
        1u);
}

TEST(ThumbMaker, DecompressionBombsAreRefusedQuickly) {
    // JPEG: the frame header of the small picture claims 50,000 x 50,000.
    std::string jpeg = ReadWhole(ThumbFixture("photo.jpg"));
    const size_t sof = jpeg.find("\xFF\xC0"s);
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = static_cast<char>(50000 >> 8), jpeg[sof + 6] = static_cast<char>(50000 & 0xFF);
    jpeg[sof + 7] = static_cast<char>(50000 >> 8), jpeg[sof + 8] = static_cast<char>(50000 & 0xFF);
    // PNG: a header of 50,000 x 50,000 and a stream of zeros that inflates forever.
    std::string png = ReadWhole(ThumbFixture("photo.png"));
    ASSERT_GT(png.size(), 24u);
    for (int i : {16, 20}) {
        png[static_cast<size_t>(i) + 0] = 0, png[static_cast<size_t>(i) + 1] = 0;
        png[static_cast<size_t>(i) + 2] = static_cast<char>(50000 >> 8);
        png[static_cast<size_t>(i) + 3] = static_cast<char>(50000 & 0xFF);
    }
    for (const std::string* bomb : {&jpeg, &png}) {
        const auto start = std::chrono::steady_clock::now();
        const TThumbMade made =
            MakePhotoThumbnail(reinterpret_cast<const uint8_t*>(bomb->data()), bomb->size());
        EXPECT_TRUE(made.Jpeg.empty());
        EXPECT_FALSE(made.Why.empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}

TEST(ThumbMaker, CutAndDamagedFilesNeverCrash) {
    std::mt19937 rng(36);
    for (const char* name : {"photo.jpg", "rotated.jpg", "with_preview.jpg", "photo.png",
                             "photo.webp", "photo.tif", "photo.heic"}) {
        const std::string seed = ReadWhole(ThumbFixture(name));
        for (int round = 0; round < 40; ++round) {
            std::string m = seed;
            if (round % 2 == 0)
                m.resize(std::uniform_int_distribution<size_t>(0, m.size())(rng));
            else
                for (int k = 0; k < 8; ++k)
                    m[std::uniform_int_distribution<size_t>(0, m.size() - 1)(rng)] ^=
                        static_cast<char>(1 << (k % 8));
            const TThumbMade made =
                MakePhotoThumbnail(reinterpret_cast<const uint8_t*>(m.data()), m.size());
            EXPECT_TRUE(made.Jpeg.empty() == !made.Why.empty()) << name;
            EXPECT_LE(std::max(made.Width, made.Height), 256);
        }
    }
}

TEST(ThumbMaker, OrientationCodesTurnAsExifSays) {
    // 2x1: red then blue. Each code's result, written out by hand.
    TRgbImage img{2, 1, {255, 0, 0, 0, 0, 255}};
    auto first = [](const TRgbImage& i) { return i.Pixels[0] == 255 ? 'r' : 'b'; };
    EXPECT_EQ(first(Orient(img, 1)), 'r');
    EXPECT_EQ(first(Orient(img, 2)), 'b');
    EXPECT_EQ(first(Orient(img, 3)), 'b');
    const TRgbImage six = Orient(img, 6); // 90 clockwise: red on top
    EXPECT_EQ(six.Width, 1);
    EXPECT_EQ(six.Height, 2);
    EXPECT_EQ(first(six), 'r');
    EXPECT_EQ(first(Orient(img, 8)), 'b'); // 90 counter-clockwise: blue on top
    EXPECT_EQ(first(Orient(img, 5)), 'r');
    EXPECT_EQ(first(Orient(img, 7)), 'b');
}

TEST(ThumbMaker, SizesAndFiles) {
    int w = 0, h = 0;
    FitWithin(4000, 3000, 256, w, h);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 192);
    FitWithin(100, 50000, 256, w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 256);
    FitWithin(80, 60, 256, w, h); // never enlarged
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 60);
    EXPECT_FALSE(MakeThumbnailOf(ThumbFixture("missing.jpg")).Why.empty());
    EXPECT_FALSE(MakeThumbnailOf(ThumbFixture(".")).Why.empty());
    EXPECT_FALSE(MakeThumbnailOf(ThumbFixture("make_fixtures.sh")).Why.empty());
}
