#include "space/squarify.h"

#include <algorithm>
#include <cmath>

TPixelRect SnapToPixels(const TSpaceRect& r) {
    auto edge = [](double v) {
        // Far beyond any screen; keeps the conversion defined for absurd input.
        return static_cast<int>(std::lround(std::clamp(v, -1e9, 1e9)));
    };
    const int x0 = edge(r.X), y0 = edge(r.Y);
    return {x0, y0, std::max(0, edge(r.X + r.W) - x0), std::max(0, edge(r.Y + r.H) - y0)};
}

namespace {

// The worst aspect ratio of a row of areas summing to `sum` laid along `side`.
double Worst(double sum, double smallest, double largest, double side) {
    const double s2 = side * side, sum2 = sum * sum;
    return std::max(s2 * largest / sum2, sum2 / (s2 * smallest));
}

} // namespace

void Squarify(std::span<const double> weights, const TSpaceRect& area,
              std::vector<TSpaceRect>& out) {
    const size_t n = weights.size();
    out.assign(n, TSpaceRect{area.X, area.Y, 0, 0});
    double total = 0;
    for (double w : weights)
        if (w > 0) total += w;
    if (!(total > 0) || !(area.W > 0) || !(area.H > 0) || !std::isfinite(total)) return;
    const double scale = area.Area() / total;

    TSpaceRect rest = area;
    size_t last = n; // the last positive weight: its row takes what is left
    while (last > 0 && !(weights[last - 1] > 0))
        --last;
    size_t i = 0;
    while (i < last) {
        if (!(weights[i] > 0)) {
            out[i] = {rest.X, rest.Y, 0, 0};
            ++i;
            continue;
        }
        const double side = std::min(rest.W, rest.H);
        if (!(side > 0)) break;
        double sum = weights[i] * scale, smallest = sum, largest = sum;
        double worst = Worst(sum, smallest, largest, side);
        size_t j = i + 1;
        for (; j < last; ++j) {
            const double a = weights[j] * scale;
            if (!(a > 0)) continue;
            const double s = sum + a, lo = std::min(smallest, a), hi = std::max(largest, a);
            const double w = Worst(s, lo, hi, side);
            if (w > worst) break;
            sum = s;
            smallest = lo;
            largest = hi;
            worst = w;
        }
        const bool finalRow = j >= last;
        const bool vertical = rest.W >= rest.H; // the row runs down the left edge
        const double length = vertical ? rest.H : rest.W;
        double thickness = sum / side;
        if (finalRow) thickness = vertical ? rest.W : rest.H;
        thickness = std::min(thickness, vertical ? rest.W : rest.H);
        double pos = vertical ? rest.Y : rest.X;
        const double end = pos + length;
        // The row's last positive block ends exactly at the far edge: no gap from rounding.
        size_t lastInRow = j;
        while (lastInRow > i && !(weights[lastInRow - 1] > 0))
            --lastInRow;
        for (size_t k = i; k < j; ++k) {
            const double a = weights[k] > 0 ? weights[k] * scale : 0;
            double len = thickness > 0 ? a / thickness : 0;
            if (k + 1 == lastInRow) len = end - pos;
            out[k] = vertical ? TSpaceRect{rest.X, pos, thickness, len}
                              : TSpaceRect{pos, rest.Y, len, thickness};
            pos += len;
        }
        if (vertical) {
            rest.X += thickness;
            rest.W -= thickness;
        } else {
            rest.Y += thickness;
            rest.H -= thickness;
        }
        i = j;
    }
}
