#pragma once

#include <cstdint>
#include <string>

// A 44-byte track file of an audio CD, with titles from the CD player's disc list.
class TCDAtrack {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);

    // Where the disc list (an INI file) is looked up; empty for the default in
    // the user's config folder.
    static void SetDiscListPath(const std::string& path) { discListPath_() = path; }
    static std::string DiscListPath();

    bool Valid = false;
    std::string Title, Artist, Album;
    double Duration = 0; // seconds
    uint16_t Track = 0;
    double Position = 0; // seconds from the start of the disc

private:
    static std::string& discListPath_() {
        static std::string p;
        return p;
    }
};

// The value of `key` in `section` of an INI text (names matched ignoring case).
std::string IniValue(const std::string& text, const std::string& section, const std::string& key);
