#pragma once

#include <cstdint>
#include <string>

// The 128-byte ID3v1 tag at the end of a file.
class TID3v1 {
public:
    void ResetData() { *this = {}; }
    // True when the last 128 bytes could be read, tag or not; Exists tells.
    bool ReadFromFile(const std::string& path);
    std::string GenreName() const;

    bool Exists = false;
    uint8_t VersionID = 1; // 1 = ID3v1.0, 2 = ID3v1.1
    std::string Title, Artist, Album, Year, Comment;
    uint8_t Track = 0;
    uint8_t GenreID = 255; // 255 = none
};

// The genre name of an ID3v1 genre code, empty beyond the list.
const char* Id3v1GenreName(unsigned code);
constexpr unsigned kId3v1GenreCount = 148;
