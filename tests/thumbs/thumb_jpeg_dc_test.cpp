#include "media/thumb_jpeg_dc.h"
#include "media/thumb_maker.h"
#include "thumb_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <random>
#include <turbojpeg.h>

namespace {

// Gradients, coloured blocks and a noisy patch: every component's DC and AC
// coefficients vary, and a wrong turn or swapped channel shows.
TRgbImage Picture(int w, int h) {
    TRgbImage img{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * static_cast<size_t>(h) * 3)};
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &img.Pixels[(static_cast<size_t>(y) * static_cast<size_t>(w) +
                                      static_cast<size_t>(x)) *
                                     3];
            p[0] = static_cast<uint8_t>(x * 255 / w);
            p[1] = static_cast<uint8_t>(y * 255 / h);
            p[2] = static_cast<uint8_t>(128 + (x - y) % 100);
            if (x < w / 3 && y < h / 3) p[0] = 230, p[1] = 20, p[2] = 20; // red, top left
            if (y > h * 3 / 4) p[0] = 10, p[1] = 30, p[2] = 220;          // blue, along the bottom
            if (x > w / 2 && x < w * 3 / 4 && y > h / 3 && y < h * 2 / 3)
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<uint8_t>(rng() & 0xFF);
        }
    return img;
}

struct TEncoding {
    int Quality = 75;
    int H = 2, V = 2; // of luma; chroma is 1x1
    bool Gray = false;
    unsigned Restart = 0; // MCUs per interval
    int RestartRows = 0;
    bool Progressive = false, Arithmetic = false, ScanPerComponent = false;
};

std::string Encode(const TRgbImage& img, const TEncoding& e) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = static_cast<JDIMENSION>(img.Width);
    c.image_height = static_cast<JDIMENSION>(img.Height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    if (e.Gray) jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    jpeg_set_quality(&c, e.Quality, TRUE);
    c.comp_info[0].h_samp_factor = e.H;
    c.comp_info[0].v_samp_factor = e.V;
    c.restart_interval = e.Restart;
    c.restart_in_rows = e.RestartRows;
    c.arith_code = e.Arithmetic ? TRUE : FALSE;
    static const jpeg_scan_info kScans[3] = {{1, {0, 0, 0, 0}, 0, 63, 0, 0},
                                             {1, {1, 0, 0, 0}, 0, 63, 0, 0},
                                             {1, {2, 0, 0, 0}, 0, 63, 0, 0}};
    if (e.ScanPerComponent) c.scan_info = kScans, c.num_scans = 3;
    if (e.Progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row =
            const_cast<uint8_t*>(&img.Pixels[c.next_scanline * static_cast<size_t>(img.Width) * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string out(reinterpret_cast<const char*>(buf), size);
    std::free(buf);
    return out;
}

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

// The general decoder's picture, whole or at an eighth as the thumbnails took it before.
TRgbImage TurboImage(const std::string& jpeg, int scale = 1) {
    TRgbImage img;
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    if (tjDecompressHeader3(tj, Bytes(jpeg), jpeg.size(), &w, &h, &sub, &space) == 0) {
        img.Width = (w + scale - 1) / scale;
        img.Height = (h + scale - 1) / scale;
        img.Pixels.resize(static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height) * 3);
        tjDecompress2(tj, Bytes(jpeg), jpeg.size(), img.Pixels.data(), img.Width, 0, img.Height,
                      TJPF_RGB, scale > 1 ? TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE : 0);
    }
    tjDestroy(tj);
    return img;
}

TRgbImage TurboEighth(const std::string& jpeg) {
    return TurboImage(jpeg, 8);
}

EEighthResult Eighth(const std::string& jpeg, TRgbImage& out, int budgetMs = 10000) {
    const TCpuBudget budget(budgetMs);
    return DecodeJpegEighth(Bytes(jpeg), jpeg.size(), 64 << 20, budget, out);
}

void ExpectLikeTurbo(const std::string& jpeg) {
    TRgbImage mine;
    ASSERT_EQ(Eighth(jpeg, mine), EEighthResult::Done);
    const TRgbImage ref = TurboEighth(jpeg);
    ASSERT_EQ(mine.Width, ref.Width);
    ASSERT_EQ(mine.Height, ref.Height);
    size_t same = 0;
    int worst = 0;
    for (size_t i = 0; i < ref.Pixels.size(); ++i) {
        const int d = std::abs(int{mine.Pixels[i]} - int{ref.Pixels[i]});
        worst = std::max(worst, d);
        same += d == 0;
    }
    EXPECT_LE(worst, 3);
    // Rounding of the library's vector code may differ by one now and then.
    if (ref.Pixels.size() >= 300) {
        EXPECT_GE(same * 100, ref.Pixels.size() * 95);
    }
}

} // namespace

TEST(JpegEighth, MatchesTheGeneralDecoderAtAnEighth) {
    const TRgbImage odd = Picture(333, 219);
    for (const int q : {30, 75, 95})
        for (const auto& [h, v] : {std::pair{1, 1}, {2, 1}, {2, 2}, {1, 2}}) {
            SCOPED_TRACE("quality " + std::to_string(q) + " sampling " + std::to_string(h) + "x" +
                         std::to_string(v));
            ExpectLikeTurbo(Encode(odd, {q, h, v}));
        }
    {
        SCOPED_TRACE("greyscale");
        ExpectLikeTurbo(Encode(odd, {.Gray = true}));
        ExpectLikeTurbo(Encode(odd, {.Gray = true, .Restart = 5}));
    }
    for (const unsigned restart : {1u, 3u, 7u}) {
        SCOPED_TRACE("restart every " + std::to_string(restart));
        ExpectLikeTurbo(Encode(odd, {.Restart = restart}));
        ExpectLikeTurbo(Encode(odd, {.H = 1, .V = 1, .Restart = restart}));
    }
    {
        SCOPED_TRACE("restart rows, a scan per component");
        ExpectLikeTurbo(Encode(odd, {.RestartRows = 2}));
        ExpectLikeTurbo(Encode(odd, {.ScanPerComponent = true}));
        ExpectLikeTurbo(Encode(odd, {.Restart = 4, .ScanPerComponent = true}));
    }
    {
        // Progressive: the DC scans (first bits, then one more bit each) are
        // read, the AC scans passed over. Chroma at half both ways is not.
        SCOPED_TRACE("progressive");
        ExpectLikeTurbo(Encode(odd, {.H = 1, .V = 1, .Progressive = true}));
        ExpectLikeTurbo(Encode(odd, {.H = 2, .V = 1, .Restart = 3, .Progressive = true}));
        ExpectLikeTurbo(Encode(odd, {.Gray = true, .Progressive = true}));
    }
    for (const auto& [w, h] : {std::pair{1, 1}, {9, 7}, {17, 33}, {64, 48}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        ExpectLikeTurbo(Encode(Picture(w, h), {}));
        ExpectLikeTurbo(Encode(Picture(w, h), {.H = 1, .V = 2}));
    }
    // ImageMagick's files, as the other tests use them.
    for (const char* name : {"photo.jpg", "rotated.jpg", "with_preview.jpg"}) {
        SCOPED_TRACE(name);
        ExpectLikeTurbo(ReadWhole(ThumbFixture(name)));
    }
}

TEST(JpegEighth, LeavesOtherKindsToTheGeneralDecoder) {
    const TRgbImage img = Picture(120, 80);
    TRgbImage out;
    EXPECT_EQ(Eighth(Encode(img, {.H = 2, .V = 2, .Progressive = true}), out),
              EEighthResult::Unsupported);
    EXPECT_EQ(Eighth(Encode(img, {.Arithmetic = true}), out), EEighthResult::Unsupported);
    EXPECT_EQ(Eighth(ReadWhole(ThumbFixture("photo.png")), out), EEighthResult::Unsupported);
    // A header claiming 60,000 x 60,000: more than the memory allowed, refused at once.
    std::string bomb = Encode(img, {});
    const size_t sof = bomb.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    for (const size_t at : {sof + 5, sof + 7})
        bomb[at] = static_cast<char>(0xEA), bomb[at + 1] = 0x60;
    EXPECT_EQ(Eighth(bomb, out), EEighthResult::Unsupported);
}

TEST(JpegEighth, DamagedDataIsLeftToTheGeneralDecoder) {
    const std::string good = Encode(Picture(160, 96), {.Restart = 2});
    TRgbImage out;
    // Cut within the scan.
    EXPECT_EQ(Eighth(good.substr(0, good.size() * 2 / 3), out), EEighthResult::Damaged);
    // A restart marker out of turn.
    std::string wrong = good;
    const size_t rst = wrong.find("\xFF\xD1");
    ASSERT_NE(rst, std::string::npos);
    wrong[rst + 1] = static_cast<char>(0xD5);
    EXPECT_EQ(Eighth(wrong, out), EEighthResult::Damaged);
    // Code lengths that give more codes than there are: two of one bit, then more.
    std::string over = good;
    const size_t dht = over.find("\xFF\xC4");
    ASSERT_NE(dht, std::string::npos);
    uint8_t* counts = reinterpret_cast<uint8_t*>(&over[dht + 5]);
    const int moved = counts[0] == 2 ? 0 : 2 - counts[0];
    counts[0] = 2;
    for (int i = 1, left = moved; i < 16 && left > 0; ++i) {
        const int take = std::min<int>(counts[i], left);
        counts[i] = static_cast<uint8_t>(counts[i] - take);
        left -= take;
    }
    EXPECT_EQ(Eighth(over, out), EEighthResult::Damaged);
    // Flipped bits anywhere: never a crash or a read outside, and what it
    // decodes has the picture's size.
    const std::string progressive =
        Encode(Picture(160, 96), {.H = 1, .V = 1, .Restart = 3, .Progressive = true});
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::string m = round % 2 ? good : progressive;
        for (int k = 0; k < 1 + round % 6; ++k)
            m[std::uniform_int_distribution<size_t>(0, m.size() - 1)(rng)] ^=
                static_cast<char>(1 << (k % 8));
        TRgbImage img;
        if (Eighth(m, img) == EEighthResult::Done) {
            EXPECT_GT(img.Width, 0);
            EXPECT_EQ(img.Pixels.size(),
                      static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height) * 3);
        }
    }
}

TEST(JpegEighth, StopsWhenTheBudgetIsSpent) {
    const std::string big = Encode(Picture(2048, 1024), {.Quality = 20, .Gray = true});
    TRgbImage out;
    EXPECT_EQ(Eighth(big, out, 0), EEighthResult::TooSlow);
    EXPECT_EQ(Eighth(big, out), EEighthResult::Done);
    // Headers only, but 30,000 AC Huffman tables to build: it stops as well.
    size_t dht = big.find("\xFF\xC4");
    while (dht != std::string::npos && big[dht + 4] != 0x10)
        dht = big.find("\xFF\xC4", dht + 1);
    ASSERT_NE(dht, std::string::npos);
    const size_t len =
        (static_cast<uint8_t>(big[dht + 2]) << 8) | static_cast<uint8_t>(big[dht + 3]);
    std::string tables = big.substr(0, 2);
    for (int i = 0; i < 30000; ++i)
        tables += big.substr(dht, len + 2);
    EXPECT_EQ(Eighth(tables, out, 20), EEighthResult::TooSlow);
}

TEST(JpegEighth, LargePhotoThumbnailIsUprightAndLikeBefore) {
    // 2400x1600: the thumbnail comes from an eighth. Exif orientation 6 (turn
    // a quarter clockwise to show) in an APP1 segment after SOI.
    std::string jpeg = Encode(Picture(2400, 1600), {.Quality = 50});
    const std::string tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26);
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    const size_t len = body.size() + 2;
    jpeg.insert(2, "\xFF\xE1" + std::string{static_cast<char>(len >> 8), static_cast<char>(len)} +
                       body);
    const TThumbMade made = MakePhotoThumbnail(Bytes(jpeg), jpeg.size());
    ASSERT_FALSE(made.Jpeg.empty()) << made.Why;
    EXPECT_EQ(made.Width, 171);
    EXPECT_EQ(made.Height, 256);
    const std::vector<uint8_t> px = TurboImage(made.Jpeg).Pixels;
    ASSERT_EQ(px.size(), 171u * 256 * 3);
    // The stored top left (red) shows top right, the stored bottom (blue) on the left.
    const auto at = [&](int x, int y) { return &px[(static_cast<size_t>(y) * 171 + x) * 3]; };
    EXPECT_GT(at(160, 20)[0], 180);
    EXPECT_LT(at(160, 20)[2], 80);
    EXPECT_GT(at(10, 128)[2], 180);
    EXPECT_LT(at(10, 128)[0], 80);
    // As the general decoder's eighth, reduced, turned and stored the same way.
    const TRgbImage ref = TurboEighth(jpeg);
    const std::string before = EncodeJpeg(
        Orient(Reduce(ref.Pixels.data(), ref.Width, ref.Height, ref.Width * 3, 3, 256, 171), 6),
        80);
    EXPECT_LT(MeanDifference(TRgbImage{171, 256, px}, TurboImage(before)), 0.5);
}
