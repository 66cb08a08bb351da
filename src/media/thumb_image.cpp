#include "media/thumb_image.h"

#include <algorithm>
#include <turbojpeg.h>
#include <utility>

void FitWithin(int64_t w, int64_t h, int maxSide, int& outW, int& outH) {
    w = std::max<int64_t>(w, 1);
    h = std::max<int64_t>(h, 1);
    const int64_t side = std::max<int64_t>(maxSide, 1);
    if (w <= side && h <= side) {
        outW = static_cast<int>(w);
        outH = static_cast<int>(h);
    } else if (w >= h) {
        outW = static_cast<int>(side);
        outH = static_cast<int>(std::max<int64_t>(1, (h * side + w / 2) / w));
    } else {
        outH = static_cast<int>(side);
        outW = static_cast<int>(std::max<int64_t>(1, (w * side + h / 2) / h));
    }
}

TRowReducer::TRowReducer(int srcW, int srcH, int dstW, int dstH)
    : srcW_(std::max(srcW, 1)), srcH_(std::max(srcH, 1)), dstW_(std::clamp(dstW, 1, srcW_)),
      dstH_(std::clamp(dstH, 1, srcH_)) {
    column_.resize(static_cast<size_t>(srcW_));
    across_.assign(static_cast<size_t>(dstW_), 0);
    for (int x = 0; x < srcW_; ++x) {
        const int dx = static_cast<int>(int64_t{x} * dstW_ / srcW_);
        column_[static_cast<size_t>(x)] = dx;
        ++across_[static_cast<size_t>(dx)];
    }
    sums_.assign(static_cast<size_t>(dstW_) * 3, 0);
    out_.Width = dstW_;
    out_.Height = dstH_;
    out_.Pixels.assign(static_cast<size_t>(dstW_) * static_cast<size_t>(dstH_) * 3, 255);
}

void TRowReducer::Flush() {
    if (rowsIn_ == 0) return;
    uint8_t* dst =
        out_.Pixels.data() + static_cast<size_t>(accRow_) * static_cast<size_t>(dstW_) * 3;
    for (int dx = 0; dx < dstW_; ++dx) {
        const uint32_t n = across_[static_cast<size_t>(dx)] * rowsIn_;
        for (int c = 0; c < 3; ++c) {
            const size_t i = static_cast<size_t>(dx) * 3 + static_cast<size_t>(c);
            dst[i] = static_cast<uint8_t>((sums_[i] + n / 2) / n);
        }
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rowsIn_ = 0;
}

void TRowReducer::AddRow(const uint8_t* row, int channels) {
    if (row_ >= srcH_) return;
    const int dy = static_cast<int>(int64_t{row_} * dstH_ / srcH_);
    if (dy != accRow_) {
        Flush();
        accRow_ = dy;
    }
    for (int x = 0; x < srcW_; ++x) {
        const uint8_t* p = row + static_cast<size_t>(x) * static_cast<size_t>(channels);
        uint32_t* s = &sums_[static_cast<size_t>(column_[static_cast<size_t>(x)]) * 3];
        if (channels == 4) {
            // Transparent parts show on white, as a viewer's page would.
            const uint32_t a = p[3];
            for (int c = 0; c < 3; ++c)
                s[c] += (p[c] * a + 255 * (255 - a) + 127) / 255;
        } else {
            s[0] += p[0];
            s[1] += p[1];
            s[2] += p[2];
        }
    }
    ++rowsIn_;
    ++row_;
}

TRgbImage TRowReducer::Take() {
    Flush();
    return std::move(out_);
}

TRgbImage Reduce(const uint8_t* rgb, int w, int h, int stride, int channels, int dstW, int dstH) {
    TRowReducer reducer(w, h, dstW, dstH);
    for (int y = 0; y < h; ++y)
        reducer.AddRow(rgb + static_cast<size_t>(y) * static_cast<size_t>(stride), channels);
    return reducer.Take();
}

TRgbImage Orient(TRgbImage src, int orientation) {
    if (orientation < 2 || orientation > 8 || src.Empty()) return src;
    const int w = src.Width, h = src.Height;
    const bool turned = orientation >= 5; // the sides swap
    TRgbImage out;
    out.Width = turned ? h : w;
    out.Height = turned ? w : h;
    out.Pixels.resize(src.Pixels.size());
    for (int y = 0; y < out.Height; ++y) {
        for (int x = 0; x < out.Width; ++x) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                break;
            case 3:
                sx = w - 1 - x;
                sy = h - 1 - y;
                break;
            case 4:
                sy = h - 1 - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = h - 1 - x;
                break;
            case 7:
                sx = w - 1 - y;
                sy = h - 1 - x;
                break;
            case 8:
                sx = w - 1 - y;
                sy = x;
                break;
            default:
                break;
            }
            const size_t from =
                (static_cast<size_t>(sy) * static_cast<size_t>(w) + static_cast<size_t>(sx)) * 3;
            const size_t to =
                (static_cast<size_t>(y) * static_cast<size_t>(out.Width) + static_cast<size_t>(x)) *
                3;
            std::copy_n(&src.Pixels[from], 3, &out.Pixels[to]);
        }
    }
    return out;
}

int OrientationOfTurn(int clockwise) {
    switch (clockwise) {
    case 90:
        return 6;
    case 180:
        return 3;
    case 270:
        return 8;
    default:
        return 1;
    }
}

std::string EncodeJpeg(const TRgbImage& img, int quality) {
    if (img.Empty()) return {};
    tjhandle tj = tjInitCompress();
    if (!tj) return {};
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    std::string out;
    if (tjCompress2(tj, img.Pixels.data(), img.Width, 0, img.Height, TJPF_RGB, &buf, &size,
                    TJSAMP_420, quality, TJFLAG_FASTDCT) == 0)
        out.assign(reinterpret_cast<const char*>(buf), size);
    tjFree(buf);
    tjDestroy(tj);
    return out;
}
