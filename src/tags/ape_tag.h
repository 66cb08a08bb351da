#pragma once

#include <cstdint>
#include <string>

// An APE tag (versions 1 and 2) at the end of a file or just before an ID3v1 tag.
class TAPEtag {
public:
    void ResetData() { *this = {}; }
    // True when the footer position could be read, tag or not; Exists tells.
    bool ReadFromFile(const std::string& path);

    bool Exists = false;
    int32_t Version = 0; // 1000 or 2000
    int64_t Size = 0;    // items and footer, without an APE header
    std::string Title, Artist, Album;
    int32_t Track = 0;
    std::string Year, Genre, Comment, Copyright;
};
