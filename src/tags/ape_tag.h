#pragma once

#include <cstdint>
#include <string>

// An APE tag (versions 1 and 2) at the end of a file or just before an ID3v1 tag.
class TAPEtag {
public:
    TAPEtag() { ResetData(); }
    void ResetData();
    // True when the footer position could be read, tag or not; Exists tells.
    bool ReadFromFile(const std::string& path);

    bool Exists;
    int32_t Version; // 1000 or 2000
    int64_t Size;    // items and footer, without an APE header
    std::string Title, Artist, Album;
    int32_t Track;
    std::string Year, Genre, Comment, Copyright;
};
