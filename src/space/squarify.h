#pragma once

#include <span>
#include <vector>

// A rectangle in pixels with fractional edges.
struct TSpaceRect {
    double X = 0;
    double Y = 0;
    double W = 0;
    double H = 0;

    double Area() const { return W * H; }
    // Half-open on the right and bottom, so that neighbours never share a point.
    bool Contains(double x, double y) const { return x >= X && x < X + W && y >= Y && y < Y + H; }
};

// A rectangle on whole pixels.
struct TPixelRect {
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
};

// Rounds the edges (not the sizes), so that blocks which touch stay touching
// and never overlap once drawn.
TPixelRect SnapToPixels(const TSpaceRect& r);

// Tiles `area` with one rectangle per weight, each with an area proportional to
// its weight, in rows that keep the blocks as square as the order allows
// (largest first gives the squarest). Weights of zero or less, or a total of
// zero, give empty rectangles. Linear in the number of weights.
void Squarify(std::span<const double> weights, const TSpaceRect& area,
              std::vector<TSpaceRect>& out);
