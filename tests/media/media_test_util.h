#pragma once

#include <string>
#include <vector>

inline std::string MediaFixture(const std::string& name) {
    return std::string(TAMBLIX_TEST_DATA) + "/media/" + name;
}

// Every video and photo fixture the script makes.
inline std::vector<std::string> MediaFixtures() {
    return {"clip.mp4",  "clip.m4v",   "clip.mov",   "clip.mkv",       "clip.webm", "clip.avi",
            "clip.mpg",  "clip.vob",   "clip.ts",    "clip.m2ts",      "clip.wmv",  "clip.asf",
            "clip.flv",  "clip.3gp",   "silent.mp4", "sound_only.mkv", "photo.jpg", "photo.tif",
            "photo.png", "photo.webp", "south.jpg",  "plain.jpg",      "plain.heic"};
}
