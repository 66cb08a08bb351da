#include "tags/vorbis_comment.h"

#include "text/encodings.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kItemWindow = 250;
// Values kept of one repeated field.
constexpr size_t kMaxValues = 16;

} // namespace

void TVorbisComment::Read(IByteSource& src) {
    // DESCRIPTION is where some encoders write the comment; it stands in for
    // a missing COMMENT.
    static const char* const names[8] = {"TITLE", "ARTIST", "ALBUM",   "TRACKNUMBER",
                                         "DATE",  "GENRE",  "COMMENT", "DESCRIPTION"};
    std::array<std::vector<std::string>, 8> raw;
    std::string vendor;
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
        for (int k = 0; k < 8; ++k)
            if (name == names[k]) {
                std::vector<std::string>& values = raw[k];
                std::string value(s.substr(eq + 1));
                // A field written twice alike is one value; a list stays short.
                if (values.size() < kMaxValues &&
                    std::find(values.begin(), values.end(), value) == values.end())
                    values.push_back(std::move(value));
            }
    }
    // A field may be repeated (two artists): the values are joined as other
    // tags join theirs. A date and a track number are one value: the first.
    auto joined = [&](int k) {
        std::string text;
        for (const std::string& v : raw[k]) {
            if (v.empty()) continue;
            if (!text.empty()) text += " / ";
            text += DecodeUtf8Lenient(v);
        }
        return text;
    };
    auto first = [&](int k) { return raw[k].empty() ? std::string() : raw[k].front(); };
    Title = joined(0);
    Artist = joined(1);
    Album = joined(2);
    Date = DecodeUtf8Lenient(first(4));
    Genre = joined(5);
    Comment = joined(6);
    if (Comment.empty()) Comment = joined(7);
    Vendor = DecodeUtf8Lenient(vendor);
    if (!raw[3].empty()) Track = std::max(0, LeadingInt(TrimControl(first(3))));
}
