#include "text/name_text.h"

#include "text/text_utils.h"

#include <cstdint>
#include <cstring>

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

template <class F> std::string Decode8Bit(std::string_view s, F high) {
    std::string out;
    out.reserve(s.size() + s.size() / 2);
    for (char ch : s) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            AppendUtf8(out, high(b));
    }
    return out;
}

} // namespace

std::string Cp437ToUtf8(std::string_view s) {
    return Decode8Bit(s, [](unsigned char b) -> uint32_t { return kCp437High[b - 0x80]; });
}

std::string ToDisplayName(std::string_view s) {
    return EightBitText(s);
}

namespace {

constexpr uint32_t kStandInBase = 0xF700;
constexpr std::string_view kPathBackslash = "\xEF\x9D\x9C"; // U+F75C

// The number of ASCII bytes from s[i] on.
size_t AsciiRun(std::string_view s, size_t i) {
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    const size_t start = i;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t v;
        std::memcpy(&v, s.data() + i, 8);
        if (v & kHighs) break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i - start;
}

bool IsStandIn(uint32_t cp) {
    return cp >= kStandInBase && cp <= kStandInBase + 0xFF;
}

} // namespace

std::string ToDisplayPath(std::string_view path) {
    return DiskToCaption(path);
}

std::string DiskToCaption(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        // ASCII stays as it is: whole runs of it are copied at once (every
        // log line of a scan names a path this way).
        const size_t run = AsciiRun(bytes, i);
        if (run != 0) {
            out.append(bytes.substr(i, run));
            i += run;
            continue;
        }
        uint32_t cp = 0;
        size_t n = Utf8SequenceAt(bytes, i, cp);
        if (n != 0 && !IsStandIn(cp)) {
            out.append(bytes.substr(i, n));
            i += n;
            continue;
        }
        // An invalid byte, or a real character of the stand-in range: byte by byte.
        size_t end = n == 0 ? i + 1 : i + n;
        for (; i < end; ++i)
            AppendUtf8(out, kStandInBase + static_cast<unsigned char>(bytes[i]));
    }
    return out;
}

std::string CaptionToDisk(std::string_view caption) {
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size();) {
        uint32_t cp = 0;
        size_t n = Utf8SequenceAt(caption, i, cp);
        if (n == 0) { // not made by DiskToCaption: keep the byte
            out += caption[i++];
        } else if (IsStandIn(cp)) {
            out += static_cast<char>(cp - kStandInBase);
            i += n;
        } else {
            out.append(caption.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string CaptionToPathPart(std::string_view caption) {
    if (caption.find('\\') == std::string_view::npos) return std::string(caption);
    std::string out;
    out.reserve(caption.size() + 4);
    for (char c : caption) {
        if (c == '\\')
            out += kPathBackslash;
        else
            out += c;
    }
    return out;
}

std::string PathPartToCaption(std::string_view part) {
    std::string out;
    out.reserve(part.size());
    for (size_t i = 0; i < part.size();) {
        if (part.compare(i, kPathBackslash.size(), kPathBackslash) == 0) {
            out += '\\';
            i += kPathBackslash.size();
        } else {
            out += part[i++];
        }
    }
    return out;
}

std::vector<std::string> SplitCatalogPath(std::string_view path) {
    std::vector<std::string> parts;
    for (std::string_view part : SplitAt(path, '\\'))
        parts.push_back(PathPartToCaption(part));
    return parts;
}

std::string ShownCaption(std::string_view caption) {
    static const char* hex = "0123456789abcdef";
    auto putHex = [&](std::string& out, unsigned b) {
        out += "\\x";
        out += hex[(b >> 4) & 15];
        out += hex[b & 15];
    };
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size();) {
        uint32_t cp = 0;
        size_t n = Utf8SequenceAt(caption, i, cp);
        if (n == 0) {
            putHex(out, static_cast<unsigned char>(caption[i++]));
            continue;
        }
        if (IsStandIn(cp))
            putHex(out, cp - kStandInBase);
        else if (cp == '\\')
            out += "\\\\";
        else if (cp == '\t')
            out += "\\t";
        else if (cp == '\n')
            out += "\\n";
        else if (cp < 0x20 || cp == 0x7F)
            putHex(out, cp);
        else
            out.append(caption.substr(i, n));
        i += n;
    }
    return out;
}

} // namespace nametext
