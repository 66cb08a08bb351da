#include "tags/vorbis_comment.h"

#include "tags/tag_text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr size_t kItemWindow = 250;

} // namespace

void TVorbisComment::Read(IByteSource& src) {
    static const char* const names[7] = {"TITLE", "ARTIST", "ALBUM",  "TRACKNUMBER",
                                         "DATE",  "GENRE",  "COMMENT"};
    std::array<std::string, 7> raw;
    std::string vendor;
    bool trackSeen = false;
    char item[kItemWindow];
    uint64_t count = 1;
    // Every item costs at least its 4-byte length, so a count that lies ends
    // with the source.
    for (uint64_t i = 0; i < count + 1; ++i) {
        unsigned char lb[4];
        if (!src.Read(lb, 4)) break;
        uint32_t len = Le32(lb);
        size_t n = std::min<size_t>(len, kItemWindow);
        if (!src.Read(item, n) || !src.Skip(len - n)) break;
        std::string_view s(item, n);
        if (i == 0) {
            vendor = std::string(s); // the vendor string, "=" or not
            Found = true;
            unsigned char cb[4];
            if (!src.Read(cb, 4)) break;
            count = Le32(cb);
            continue;
        }
        size_t eq = s.find('=');
        if (eq == std::string_view::npos) {
            if (vendor.empty()) vendor = std::string(s);
            continue;
        }
        std::string name = AsciiUpper(s.substr(0, eq));
        for (int k = 0; k < 7; ++k)
            if (name == names[k]) {
                raw[k] = std::string(s.substr(eq + 1));
                if (k == 3) trackSeen = true;
            }
    }
    Title = DecodeUtf8Lenient(raw[0]);
    Artist = DecodeUtf8Lenient(raw[1]);
    Album = DecodeUtf8Lenient(raw[2]);
    Date = DecodeUtf8Lenient(raw[4]);
    Genre = DecodeUtf8Lenient(raw[5]);
    Comment = DecodeUtf8Lenient(raw[6]);
    Vendor = DecodeUtf8Lenient(vendor);
    if (trackSeen) Track = std::max(0, LeadingInt(TrimControl(raw[3])));
}
