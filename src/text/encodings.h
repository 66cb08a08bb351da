#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Text conversions shared by the tag readers and the name functions. Everything
// they return is UTF-8.

// Appends the UTF-8 form of a code point; invalid code points become U+FFFD.
void AppendUtf8(std::string& out, uint32_t cp);

bool IsValidUtf8(std::string_view s);

// True when every byte is below 0x80. Eight bytes at a time: nearly every
// name is plain ASCII, and loads and searches ask for each.
inline bool IsAscii(std::string_view s) {
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    size_t i = 0;
    uint64_t any = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        any |= w;
    }
    for (; i < s.size(); ++i)
        any |= static_cast<unsigned char>(s[i]);
    return (any & kHighBits) == 0;
}

// Length of the well-formed UTF-8 sequence at s[i] (i inside s) and its code
// point; 0 when malformed. Inline: name conversions call it for every character.
inline size_t Utf8SequenceAt(std::string_view s, size_t i, uint32_t& cp) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t n;
    uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// ISO 8859-1 bytes to UTF-8.
std::string Latin1ToUtf8(std::string_view s);
// Windows-1252 bytes to UTF-8 (undefined bytes map as in Latin-1).
std::string Cp1252ToUtf8(std::string_view s);
// 8-bit text from outside: kept when it is valid UTF-8, else read as Latin-1
// (the ID3 rule) or Windows-1252 (everything else).
std::string Id3Latin1Text(std::string_view s);
std::string EightBitText(std::string_view s);

// UTF-8 bytes from a tag: well-formed sequences of one to four bytes decode,
// every malformed byte (stray continuation byte, cut or overlong sequence,
// surrogate) becomes U+FFFD and decoding goes on.
std::string DecodeUtf8Lenient(std::string_view s);

// UTF-16 units to UTF-8. `bigEndian` gives the initial byte order; a leading
// byte-order mark overrides it and is dropped. Surrogate pairs are joined, lone
// surrogates become U+FFFD. Stops at the first zero unit when `stopAtZero`.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian, bool stopAtZero);

// Removes leading and trailing characters of code 32 or below.
std::string TrimControl(std::string_view s);
std::string TrimRightControl(std::string_view s);

// Leading decimal integer after optional blanks, up to a "/" or the end; 0 when
// there is none. Values beyond int32 clamp.
int32_t LeadingInt(std::string_view s);

// Upper-cases ASCII letters only.
std::string AsciiUpper(std::string_view s);
