#include "text/encodings.h"

#include <climits>
#include <cstring>

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined bytes (kept as C1 codes).
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view s) {
    uint32_t cp;
    for (size_t i = 0; i < s.size();) {
        // Names are mostly ASCII with a few letters beyond: skip the ASCII
        // eight bytes at a time.
        if (i + 8 <= s.size()) {
            uint64_t v;
            std::memcpy(&v, s.data() + i, 8);
            if ((v & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        size_t n = Utf8SequenceAt(s, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string Latin1ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (unsigned char c : s)
        AppendUtf8(out, c);
    return out;
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (unsigned char c : s) {
        uint32_t cp = c;
        if (c >= 0x80 && c <= 0x9F && kCp1252High[c - 0x80] != 0) cp = kCp1252High[c - 0x80];
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Id3Latin1Text(std::string_view s) {
    return IsValidUtf8(s) ? std::string(s) : Latin1ToUtf8(s);
}

std::string EightBitText(std::string_view s) {
    return IsValidUtf8(s) ? std::string(s) : Cp1252ToUtf8(s);
}

std::string DecodeUtf8Lenient(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    uint32_t cp;
    for (size_t i = 0; i < s.size();) {
        size_t n = Utf8SequenceAt(s, i, cp);
        if (n == 0) {
            AppendUtf8(out, 0xFFFD);
            ++i;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian, bool stopAtZero) {
    std::string out;
    size_t n = bytes.size() / 2;
    auto unit = [&](size_t k) -> uint32_t {
        auto a = static_cast<unsigned char>(bytes[2 * k]);
        auto b = static_cast<unsigned char>(bytes[2 * k + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    size_t k = 0;
    if (n > 0) {
        auto a = static_cast<unsigned char>(bytes[0]);
        auto b = static_cast<unsigned char>(bytes[1]);
        if (a == 0xFF && b == 0xFE) {
            bigEndian = false;
            k = 1;
        } else if (a == 0xFE && b == 0xFF) {
            bigEndian = true;
            k = 1;
        }
    }
    out.reserve(n);
    for (; k < n; ++k) {
        uint32_t u = unit(k);
        if (u == 0 && stopAtZero) break;
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
            uint32_t lo = unit(k + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++k;
                continue;
            }
        }
        AppendUtf8(out, u); // a lone surrogate turns into U+FFFD there
    }
    return out;
}

std::string TrimControl(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= 32)
        ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= 32)
        --b;
    return std::string(s.substr(a, b - a));
}

std::string TrimRightControl(std::string_view s) {
    size_t b = s.size();
    while (b > 0 && static_cast<unsigned char>(s[b - 1]) <= 32)
        --b;
    return std::string(s.substr(0, b));
}

int32_t LeadingInt(std::string_view s) {
    size_t slash = s.find('/');
    if (slash != std::string_view::npos) s = s.substr(0, slash);
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    size_t j = i;
    int64_t v = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
        v = v * 10 + (s[j] - '0');
        if (v > INT32_MAX) v = INT32_MAX;
        ++j;
    }
    if (j == i) return 0;
    // Trailing blanks are fine, anything else makes it not a number.
    for (size_t k = j; k < s.size(); ++k)
        if (s[k] != ' ' && s[k] != '\t') return 0;
    return static_cast<int32_t>(neg ? -v : v);
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}
