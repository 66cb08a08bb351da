#include "importers/xml_byte_filter.h"

#include "importers/peer_values.h"

#include <cstdint>

namespace {

constexpr size_t kRefLookahead = 12; // "&#x10FFFF;" and the entity names fit

bool IsLegalXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// 1: s (starting with "&") opens a valid reference; 0: it does not; -1: not
// enough bytes to tell.
int ReferenceAt(std::string_view s) {
    size_t semi = s.find(';', 1);
    if (semi == std::string_view::npos || semi > kRefLookahead)
        return s.size() < kRefLookahead ? -1 : 0;
    std::string_view body = s.substr(1, semi - 1);
    if (body == "amp" || body == "lt" || body == "gt" || body == "quot" || body == "apos") return 1;
    if (body.size() < 2 || body[0] != '#') return 0;
    const bool hex = body[1] == 'x';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    uint32_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            d = (c | 0x20) - 'a' + 10;
        else
            return 0;
        v = v * (hex ? 16 : 10) + static_cast<uint32_t>(d);
        if (v > 0x10FFFF) return 0;
    }
    return IsLegalXmlChar(v) ? 1 : 0;
}

// Length of the valid UTF-8 sequence at s[0] (a lead byte >= 0x80); 0 when
// invalid; -1 when cut short.
int Utf8SequenceAt(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    int n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    for (int i = 1; i < n; ++i) {
        if (static_cast<size_t>(i) >= s.size()) return -1;
        if ((b(static_cast<size_t>(i)) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(static_cast<size_t>(i)) & 0x3F);
    }
    const uint32_t minimum = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (cp < minimum || !IsLegalXmlChar(cp)) return 0;
    return n;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

// For s starting with '"' inside an unescaped attribute value: 1 when it ends
// the value (the tag ends after it, or another attribute starts), 0 when it
// is part of the value, -1 when more bytes are needed to tell.
int EndsTheValue(std::string_view s, bool last) {
    constexpr size_t kLookahead = 256;
    size_t j = 1;
    while (j < s.size() && j < kLookahead && IsSpace(s[j]))
        ++j;
    if (j >= s.size()) return last ? 1 : -1;
    if (s[j] == '>' || s[j] == '/' || j >= kLookahead) return 1;
    if (j == 1 || !IsNameChar(s[j])) return 0;
    size_t k = j;
    while (k < s.size() && k < kLookahead && IsNameChar(s[k]))
        ++k;
    while (k < s.size() && k < kLookahead && IsSpace(s[k]))
        ++k;
    if (k >= s.size()) return last ? 0 : -1;
    return s[k] == '=' ? 1 : 0;
}

// -1: more bytes are needed to tell whether s starts with `word`.
int StartsWith(std::string_view s, std::string_view word, bool last) {
    if (s.size() < word.size()) return !last && word.starts_with(s) ? -1 : 0;
    return s.starts_with(word) ? 1 : 0;
}

} // namespace

void TXmlByteFilter::Feed(std::string_view in, bool last, std::string& out) {
    std::string joined;
    const std::string_view s = peervalues::WithCarry(carry_, in, joined);
    out.reserve(out.size() + s.size() + 16);
    size_t i = 0, plain = 0;
    auto flush = [&] { out.append(s.data() + plain, i - plain); };
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (link_ == TLink::Outside && c == '<') {
            // "<catlnk" and a blank or the tag's end.
            const int r = StartsWith(s.substr(i), "<catlnk", last);
            if (r < 0 || (r > 0 && i + 7 >= s.size() && !last)) break;
            if (r > 0 &&
                (i + 7 >= s.size() || IsSpace(s[i + 7]) || s[i + 7] == '>' || s[i + 7] == '/')) {
                link_ = TLink::InTag;
                i += 7;
                continue;
            }
        } else if (link_ == TLink::InTag) {
            if (c == '>') {
                link_ = TLink::Outside;
                ++i;
                continue;
            }
            if (IsSpace(s[i])) {
                const int r = StartsWith(s.substr(i + 1), "location=\"", last);
                if (r < 0) break;
                if (r > 0) {
                    link_ = TLink::InLocation;
                    i += 11;
                    continue;
                }
            }
        } else if (link_ == TLink::InLocation && (c == '<' || c == '"')) {
            const int r = c == '<' ? 0 : EndsTheValue(s.substr(i), last);
            if (r < 0) break;
            if (r > 0) {
                link_ = TLink::InTag;
                ++i;
                continue;
            }
            flush();
            out += c == '<' ? "&lt;" : "&quot;";
            plain = ++i;
            continue;
        }
        if (c >= 0x20 && c != '&' && (c < 0x80 || !utf8_)) {
            ++i;
            continue;
        }
        if (c == '\t' || c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        if (c < 0x20) {
            flush();
            // A NUL stands as a mark the builder refuses a name for; a space
            // would make another name of it.
            out += c == 0 ? kNulMarkReference : " ";
            plain = ++i;
            continue;
        }
        if (c == '&') {
            const int r = ReferenceAt(s.substr(i));
            if (r < 0 && !last) break;
            if (r > 0) {
                ++i;
                continue;
            }
            flush();
            out += "&amp;";
            plain = ++i;
            continue;
        }
        const int n = Utf8SequenceAt(s.substr(i));
        if (n < 0 && !last) break;
        if (n > 0) {
            i += static_cast<size_t>(n);
            continue;
        }
        flush();
        out += "\xEF\xBF\xBD";
        plain = ++i;
    }
    flush();
    if (i < s.size()) carry_.assign(s.substr(i));
}
