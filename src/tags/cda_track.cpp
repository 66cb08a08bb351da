#include "tags/cda_track.h"

#include "tags/binary_file.h"
#include "text/encodings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr int64_t kMaxDiscList = 16 << 20; // a disc list larger than this is not read

std::string ReadSmallFile(const std::string& path) {
    TBinaryFile f(path);
    if (!f.IsOpen() || f.Size() <= 0 || f.Size() > kMaxDiscList) return {};
    std::string s(static_cast<size_t>(f.Size()), '\0');
    int64_t got = f.ReadAt(0, s.data(), s.size());
    if (got < 0) return {};
    s.resize(static_cast<size_t>(got));
    return s;
}

} // namespace

std::string IniValue(const std::string& text, const std::string& section, const std::string& key) {
    const std::string wantSection = AsciiUpper(section), wantKey = AsciiUpper(key);
    bool inSection = false;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find_first_of("\r\n", i);
        if (j == std::string::npos) j = text.size();
        std::string line = TrimControl(std::string_view(text).substr(i, j - i));
        i = j + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            inSection = close != std::string::npos &&
                        AsciiUpper(TrimControl(line.substr(1, close - 1))) == wantSection;
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (AsciiUpper(TrimControl(line.substr(0, eq))) == wantKey)
            return EightBitText(TrimControl(line.substr(eq + 1)));
    }
    return {};
}

std::string TCDAtrack::DiscListPath() {
    if (!discListPath_().empty()) return discListPath_();
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        return {};
    return base + "/Tamblix/cdplayer.ini";
}

bool TCDAtrack::ReadFromFile(const std::string& path) {
    ResetData();
    unsigned char r[44] = {};
    {
        TBinaryFile f(path);
        if (!f.IsOpen() || f.ReadAt(0, r, sizeof r) < 0) return false;
    }
    if (std::memcmp(r, "RIFF", 4) != 0 || std::memcmp(r + 8, "CDDAfmt ", 8) != 0) return true;
    Valid = true;
    Track = Le16(r + 22);
    Position = Le32(r + 28) / 75.0;
    Duration = Le32(r + 32) / 75.0;
    std::string list = ReadSmallFile(DiscListPath());
    if (!list.empty()) {
        char section[16];
        std::snprintf(section, sizeof section, "%02X", Le32(r + 24));
        Title = IniValue(list, section, std::to_string(Track));
        Artist = IniValue(list, section, "artist");
        Album = IniValue(list, section, "title");
    }
    return true;
}
