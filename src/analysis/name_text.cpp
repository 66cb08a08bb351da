#include "analysis/name_text.h"

#include <cstdint>

namespace nametext {

namespace {

const uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// 0x80..0x9F; from 0xA0 on Windows-1252 is Latin-1.
const uint16_t kCp1252Low[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void PutUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

template <class F> std::string Decode8Bit(std::string_view s, F high) {
    std::string out;
    out.reserve(s.size() + s.size() / 2);
    for (char ch : s) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            PutUtf8(out, high(b));
    }
    return out;
}

} // namespace

bool IsValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int n;
        uint32_t c, min;
        if ((b & 0xE0) == 0xC0) {
            n = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3, c = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (end - p <= n) return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            c = (c << 6) | (p[i] & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        p += n + 1;
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view s) {
    return Decode8Bit(
        s, [](unsigned char b) -> uint32_t { return b < 0xA0 ? kCp1252Low[b - 0x80] : b; });
}

std::string Cp437ToUtf8(std::string_view s) {
    return Decode8Bit(s, [](unsigned char b) -> uint32_t { return kCp437High[b - 0x80]; });
}

std::string ToDisplayName(std::string_view s) {
    if (IsValidUtf8(s)) return std::string(s);
    return Cp1252ToUtf8(s);
}

std::string ToDisplayPath(std::string_view path) {
    if (IsValidUtf8(path)) return std::string(path);
    std::string out;
    out.reserve(path.size() + 8);
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        size_t stop = slash == std::string_view::npos ? path.size() : slash;
        out += ToDisplayName(path.substr(start, stop - start));
        if (slash == std::string_view::npos) break;
        out += '/';
        start = slash + 1;
    }
    return out;
}

} // namespace nametext
