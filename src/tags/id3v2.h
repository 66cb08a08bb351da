#pragma once

#include <cstdint>
#include <string>

// An ID3v2 tag (2.2, 2.3, 2.4) at the start of a file: sixteen kinds of text frame.
class TID3v2 {
public:
    void ResetData() { *this = {}; }
    // True when the first 10 bytes could be read, tag or not; Exists tells.
    bool ReadFromFile(const std::string& path);

    bool Exists = false;
    uint8_t VersionID = 0;
    int64_t Size = 0; // whole tag with header and footer; 0 when unknown
    std::string Title, Artist, Album;
    uint16_t Track = 0;
    std::string TrackString;
    std::string Year, Genre, Comment;
    std::string Composer, Encoder, Copyright, Language, Link;
};

// The text of an ID3v2 text frame's data (encoding byte first), for tests.
std::string Id3v2DecodeText(const std::string& raw);
