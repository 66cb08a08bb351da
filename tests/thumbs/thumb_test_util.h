#pragma once

#include "media/thumb_image.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

inline std::string ThumbFixture(const std::string& name) {
    return std::string(TAMBLIX_TEST_DATA) + "/thumbs/" + name;
}

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A binary PPM (P6, maxval 255) as ImageMagick and ffmpeg write it.
inline TRgbImage ReadPpm(const std::string& path) {
    std::istringstream in(ReadWhole(path));
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    in.get();
    TRgbImage img;
    if (magic != "P6" || maxval != 255 || w <= 0 || h <= 0) return img;
    img.Width = w;
    img.Height = h;
    img.Pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    in.read(reinterpret_cast<char*>(img.Pixels.data()),
            static_cast<std::streamsize>(img.Pixels.size()));
    return img;
}

// The mean difference per channel (0 to 255) of two pictures of one size.
inline double MeanDifference(const TRgbImage& a, const TRgbImage& b) {
    if (a.Width != b.Width || a.Height != b.Height || a.Pixels.empty()) return 255;
    double sum = 0;
    for (size_t i = 0; i < a.Pixels.size(); ++i)
        sum += std::abs(int{a.Pixels[i]} - int{b.Pixels[i]});
    return sum / static_cast<double>(a.Pixels.size());
}
