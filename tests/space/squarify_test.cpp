#include "space/squarify.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// Every pixel of the rectangle covered by exactly one snapped block: no overlap, no gap.
void ExpectTiles(const std::vector<TSpaceRect>& rects, int w, int h) {
    std::vector<uint8_t> hits(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (const TSpaceRect& r : rects) {
        const TPixelRect p = SnapToPixels(r);
        ASSERT_GE(p.X, 0);
        ASSERT_GE(p.Y, 0);
        ASSERT_LE(p.X + p.W, w);
        ASSERT_LE(p.Y + p.H, h);
        for (int y = p.Y; y < p.Y + p.H; ++y)
            for (int x = p.X; x < p.X + p.W; ++x)
                ASSERT_EQ(++hits[static_cast<size_t>(y) * static_cast<size_t>(w) +
                                 static_cast<size_t>(x)],
                          1)
                    << "pixel " << x << "," << y << " drawn twice";
    }
    EXPECT_EQ(std::count(hits.begin(), hits.end(), 0), 0) << "pixels left blank";
}

void ExpectProportional(const std::vector<double>& weights, const std::vector<TSpaceRect>& rects,
                        const TSpaceRect& area) {
    double total = 0;
    for (double w : weights)
        total += std::max(0.0, w);
    ASSERT_EQ(rects.size(), weights.size());
    for (size_t i = 0; i < weights.size(); ++i) {
        const double want = std::max(0.0, weights[i]) / total * area.Area();
        EXPECT_NEAR(rects[i].Area(), want, area.Area() * 1e-9 + 1e-9) << "block " << i;
        // Once on pixels, a block gains or loses at most its rounded edges.
        const TPixelRect p = SnapToPixels(rects[i]);
        EXPECT_LE(std::abs(p.W * p.H - want), rects[i].W + rects[i].H + 1) << "block " << i;
        EXPECT_GE(rects[i].X, area.X - 1e-9);
        EXPECT_GE(rects[i].Y, area.Y - 1e-9);
        EXPECT_LE(rects[i].X + rects[i].W, area.X + area.W + 1e-6);
        EXPECT_LE(rects[i].Y + rects[i].H, area.Y + area.H + 1e-6);
    }
}

double Aspect(const TSpaceRect& r) {
    return std::max(r.W, r.H) / std::min(r.W, r.H);
}

TEST(Squarify, AreasFollowWeightsAndTileTheRectangle) {
    std::vector<double> weights;
    for (int i = 0; i < 60; ++i)
        weights.push_back(static_cast<double>((i * 7919) % 1000 + 1));
    std::sort(weights.rbegin(), weights.rend());
    std::vector<TSpaceRect> out;
    for (TSpaceRect area :
         {TSpaceRect{0, 0, 800, 500}, TSpaceRect{0, 0, 90, 700}, TSpaceRect{0, 0, 333, 333}}) {
        Squarify(weights, area, out);
        ExpectProportional(weights, out, area);
        ExpectTiles(out, static_cast<int>(area.W), static_cast<int>(area.H));
    }
    // Off the origin, and in any order of weights.
    std::reverse(weights.begin(), weights.end());
    const TSpaceRect shifted{17.5, 3.25, 400, 260};
    Squarify(weights, shifted, out);
    ExpectProportional(weights, out, shifted);
}

TEST(Squarify, LargestFirstGivesNearSquareBlocks) {
    std::vector<double> weights{600, 300, 200, 150, 120, 100, 90, 80, 60, 50};
    std::vector<TSpaceRect> out;
    Squarify(weights, {0, 0, 600, 400}, out);
    for (const TSpaceRect& r : out)
        EXPECT_LT(Aspect(r), 3.0);
}

TEST(Squarify, ZeroSizesAndSingleChild) {
    std::vector<TSpaceRect> out;
    const TSpaceRect area{10, 20, 300, 200};

    Squarify(std::vector<double>{42}, area, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_DOUBLE_EQ(out[0].X, 10);
    EXPECT_DOUBLE_EQ(out[0].Y, 20);
    EXPECT_DOUBLE_EQ(out[0].W, 300);
    EXPECT_DOUBLE_EQ(out[0].H, 200);

    // Zero and negative weights take no room; the others still fill the rectangle.
    std::vector<double> mixed{5, 0, 3, -4, 0};
    Squarify(mixed, area, out);
    ExpectProportional(mixed, out, area);
    EXPECT_EQ(out[1].Area(), 0);
    EXPECT_EQ(out[3].Area(), 0);
    EXPECT_EQ(out[4].Area(), 0);
    EXPECT_NEAR(out[0].Area() + out[2].Area(), area.Area(), 1e-6);

    Squarify(std::vector<double>{0, 0, 0}, area, out);
    for (const TSpaceRect& r : out)
        EXPECT_EQ(r.Area(), 0);
    Squarify(std::vector<double>{1, 2}, {0, 0, 0, 100}, out);
    for (const TSpaceRect& r : out)
        EXPECT_EQ(r.Area(), 0);
    Squarify(std::vector<double>{}, area, out);
    EXPECT_TRUE(out.empty());
}

TEST(Squarify, SizesNearTheTopOfTheRangeStayFinite) {
    const double top = static_cast<double>(std::numeric_limits<int64_t>::max());
    std::vector<double> weights{top, top, top / 2, 1, 0};
    std::vector<TSpaceRect> out;
    const TSpaceRect area{0, 0, 500, 400};
    Squarify(weights, area, out);
    for (const TSpaceRect& r : out) {
        EXPECT_TRUE(std::isfinite(r.X) && std::isfinite(r.Y));
        EXPECT_TRUE(std::isfinite(r.W) && std::isfinite(r.H));
    }
    ExpectProportional(weights, out, area);
    ExpectTiles(out, 500, 400);
}

TEST(Squarify, HundredThousandChildren) {
    std::vector<double> weights;
    for (int i = 0; i < 100000; ++i)
        weights.push_back(1.0 + static_cast<double>((int64_t{i} * 104729) % 5000));
    std::sort(weights.rbegin(), weights.rend());
    std::vector<TSpaceRect> out;
    const TSpaceRect area{0, 0, 1000, 1000};
    Squarify(weights, area, out);
    ExpectProportional(weights, out, area);
    ExpectTiles(out, 1000, 1000);
    // Equal weights: rows of near squares.
    std::vector<double> equal(100000, 1.0);
    Squarify(equal, area, out);
    double worst = 0;
    for (const TSpaceRect& r : out)
        worst = std::max(worst, Aspect(r));
    EXPECT_LT(worst, 3.0);
}

} // namespace
