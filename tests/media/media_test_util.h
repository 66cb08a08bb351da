#pragma once

#include "media/video_file.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

inline std::string MediaFixture(const std::string& name) {
    return std::string(TAMBLIX_TEST_DATA) + "/media/" + name;
}

// For tests that compare two answers or expect a read in full: twenty times
// the processor budget, so that a busy machine cannot cut one read and not
// another.
inline bool ReadUnhurried(TVideoFile& v, const std::string& path, bool onlyZeros = false,
                          int64_t readBudget = TVideoFile::kReadBudget) {
    return v.ReadFromFile(path, TVideoFile::kBudgetMs, onlyZeros, readBudget,
                          TVideoFile::kCpuBudgetMs * 20);
}

// Every video and photo fixture the script makes.
inline std::vector<std::string> MediaFixtures() {
    return {"clip.mp4",       "clip.m4v",   "clip.mov",     "clip.mkv",     "clip.webm",
            "clip.avi",       "clip.mpg",   "clip.vob",     "clip.ts",      "clip.m2ts",
            "clip.wmv",       "clip.asf",   "clip.flv",     "clip.3gp",     "silent.mp4",
            "sound_only.mkv", "photo.jpg",  "photo.tif",    "photo.png",    "photo.webp",
            "south.jpg",      "phone.jpg",  "scanned.jpg",  "plain.jpg",    "plain.heic",
            "photo.heic",     "photo.avif", "recorded.mov", "recorded.mkv", "portrait.mp4",
            "upside_down.3gp"};
}

// A damaged copy of `seed`: cut short, bits flipped, a run of bytes replaced
// (often in the header), or four bytes that look like a huge length.
inline std::string Mutate(const std::string& seed, std::mt19937& rng) {
    std::string m = seed;
    auto pick = [&](size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(rng);
    };
    switch (pick(4)) {
    case 0:
        m.resize(pick(m.size() + 1));
        break;
    case 1:
        for (size_t k = 0, n = 1 + pick(16); k < n && !m.empty(); ++k)
            m[pick(m.size())] ^= static_cast<char>(1 << pick(8));
        break;
    case 2:
        if (!m.empty()) {
            size_t at = pick(std::min<size_t>(m.size(), pick(2) ? 512 : m.size()));
            for (size_t k = 0, n = 1 + pick(64); k < n && at + k < m.size(); ++k)
                m[at + k] = static_cast<char>(rng());
        }
        break;
    default:
        if (m.size() >= 4) {
            size_t at = pick(std::min<size_t>(m.size() - 3, 1024));
            m[at] = m[at + 1] = m[at + 2] = '\xFF';
            m[at + 3] = static_cast<char>(0x7F | rng());
        }
        break;
    }
    return m;
}
