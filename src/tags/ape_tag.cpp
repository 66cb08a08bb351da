#include "tags/ape_tag.h"

#include "tags/binary_file.h"
#include "text/encodings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kValueWindow = 250;
constexpr size_t kMaxKey = 255; // longest key the format allows

const char* const kKeys[8] = {"TITLE", "ARTIST", "ALBUM",   "TRACK",
                              "YEAR",  "GENRE",  "COMMENT", "COPYRIGHT"};

} // namespace

bool TAPEtag::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    const int64_t s = f.Size();
    if (s < 128) return false;
    unsigned char tag[3];
    if (!f.ReadExact(s - 128, tag, 3)) return false;
    const int64_t shift = std::memcmp(tag, "TAG", 3) == 0 ? 128 : 0;
    unsigned char foot[32];
    if (s - shift < 32 || !f.ReadExact(s - shift - 32, foot, 32)) return false;
    if (std::memcmp(foot, "APETAGEX", 8) != 0) return true;
    Exists = true;
    Version = static_cast<int32_t>(Le32(foot + 8));
    Size = Le32(foot + 12);
    const uint32_t count = Le32(foot + 16);

    const int64_t tagEnd = s - shift - 32; // items end where the footer starts
    int64_t pos = s - shift - Size;
    if (Size < 32 || pos < 0) return true; // a size that lies: no items
    std::array<std::string, 8> items;
    bool found[8] = {};
    // key + value window + item header fit in one read
    unsigned char buf[8 + kMaxKey + 1 + kValueWindow];
    for (uint32_t i = 0; i < count && pos + 9 <= tagEnd; ++i) {
        int64_t got = f.ReadAt(pos, buf, sizeof buf);
        if (got < 9) break;
        const uint32_t valueSize = Le32(buf);
        auto* keyStart = buf + 8;
        size_t keyRoom = static_cast<size_t>(std::min<int64_t>(got, tagEnd - pos)) - 8;
        auto* zero =
            static_cast<unsigned char*>(std::memchr(keyStart, 0, std::min(keyRoom, kMaxKey + 1)));
        if (!zero) break;
        std::string key = AsciiUpper(
            TrimControl(std::string_view(reinterpret_cast<char*>(keyStart), zero - keyStart)));
        int64_t valuePos = pos + 8 + (zero - keyStart) + 1;
        if (valuePos + static_cast<int64_t>(valueSize) > tagEnd) break;
        size_t n = std::min<size_t>(valueSize, kValueWindow);
        char value[kValueWindow];
        size_t offset = static_cast<size_t>(valuePos - pos);
        if (offset + n <= static_cast<size_t>(got)) {
            std::memcpy(value, buf + offset, n);
        } else if (!f.ReadExact(valuePos, value, n)) {
            break;
        }
        for (int k = 0; k < 8; ++k) {
            if (key != kKeys[k]) continue;
            std::string_view v(value, n);
            // Version 2 values may hold several zero-separated strings: the first counts.
            if (Version > 1000) {
                size_t z = v.find('\0');
                if (z != std::string_view::npos) v = v.substr(0, z);
            }
            std::string t = TrimControl(v);
            items[k] = Version > 1000 ? DecodeUtf8Lenient(t) : EightBitText(t);
            found[k] = true;
        }
        pos = valuePos + valueSize;
    }
    Title = items[0];
    Artist = items[1];
    Album = items[2];
    Year = items[4];
    Genre = items[5];
    Comment = items[6];
    Copyright = items[7];
    if (found[3]) Track = std::max(0, LeadingInt(items[3]));
    return true;
}
