#include "importers/toml_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace tomltext {

namespace {

bool IsBareKeyChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// One UTF-8 character at t[i]: its length (0 when it is not UTF-8) and code point.
size_t DecodeUtf8(std::string_view t, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(t[k]); };
    const unsigned char c = byte(i);
    size_t n = 0;
    char32_t least = 0;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, cp = c & 0x1F, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, cp = c & 0x0F, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, cp = c & 0x07, least = 0x10000;
    else
        return 0;
    if (t.size() - i < n) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

size_t RunOf(std::string_view t, size_t i, char q) {
    size_t n = 0;
    while (i + n < t.size() && t[i + n] == q)
        ++n;
    return n;
}

} // namespace

bool LooksLikeCatalog(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    static constexpr std::array<std::string_view, 6> kTopKeys = {"tool",    "version", "created",
                                                                 "updated", "note",    "storages"};
    while (!head.empty()) {
        const size_t end = head.find('\n');
        const std::string_view line = Trimmed(head.substr(0, end));
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.substr(0, 10) == "[[storages") return true;
        size_t k = 0;
        while (k < line.size() && IsBareKeyChar(line[k]))
            ++k;
        const std::string_view key = line.substr(0, k);
        if (key.empty() || Trimmed(line.substr(k)).substr(0, 1) != "=") return false;
        for (std::string_view top : kTopKeys)
            if (key == top) return true;
        return false;
    }
    return false;
}

size_t NestingDepth(std::string_view text, size_t limit) {
    enum class TState { Plain, Basic, Literal, MultiBasic, MultiLiteral, Comment };
    TState state = TState::Plain;
    std::vector<size_t> open; // the depth reached at each open bracket or brace
    size_t dots = 0, deepest = 0;
    auto depthHere = [&] { return (open.empty() ? 0 : open.back()) + dots + 1; };
    auto quotes = [&](size_t i, char q) {
        size_t n = 0;
        while (i + n < text.size() && text[i + n] == q)
            ++n;
        return n;
    };
    for (size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        switch (state) {
        case TState::Comment:
            if (c == '\n') state = TState::Plain;
            continue;
        case TState::Basic:
            if (c == '\\')
                ++i;
            else if (c == '"' || c == '\n')
                state = TState::Plain;
            continue;
        case TState::Literal:
            if (c == '\'' || c == '\n') state = TState::Plain;
            continue;
        case TState::MultiBasic:
        case TState::MultiLiteral: {
            const char q = state == TState::MultiBasic ? '"' : '\'';
            if (c == '\\' && q == '"') {
                ++i;
            } else if (c == q) {
                // A run of three or more closes; up to two more belong to the text.
                const size_t n = quotes(i, q);
                if (n >= 3) state = TState::Plain;
                i += n - 1;
            }
            continue;
        }
        case TState::Plain:
            break;
        }
        switch (c) {
        case '#':
            state = TState::Comment;
            break;
        case '"':
        case '\'': {
            const bool multi = quotes(i, c) >= 3;
            if (multi) i += 2;
            state = c == '"' ? (multi ? TState::MultiBasic : TState::Basic)
                             : (multi ? TState::MultiLiteral : TState::Literal);
            break;
        }
        case '.':
            ++dots;
            deepest = std::max(deepest, depthHere());
            break;
        case '[':
        case '{':
            open.push_back(depthHere());
            deepest = std::max(deepest, open.back());
            dots = 0;
            break;
        case ']':
        case '}':
            if (!open.empty()) open.pop_back();
            dots = 0;
            break;
        case ',':
        case '\n':
            dots = 0;
            break;
        default:
            break;
        }
    }
    return deepest;
}

size_t TAsciiText::OriginalColumn(size_t line, size_t column) const {
    auto it = std::lower_bound(Shifts.begin(), Shifts.end(), line,
                               [](const TShift& s, size_t l) { return s.Line < l; });
    size_t extra = 0;
    for (; it != Shifts.end() && it->Line == line && it->Column < column; ++it)
        extra += it->Extra;
    return column > extra ? column - extra : 1;
}

TAsciiText ToAscii(std::string_view text) {
    enum class TState { Plain, Basic, Literal, MultiBasic, MultiLiteral, Comment };
    TAsciiText out;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    out.Text.reserve(text.size() + text.size() / 16);
    TState state = TState::Plain;
    bool escaped = false;
    size_t line = 1, column = 1, lineStart = 0;
    const auto put = [&](std::string_view s, size_t extra) {
        if (extra) out.Shifts.push_back({line, out.Text.size() - lineStart + 1, extra});
        out.Text += s;
    };
    const auto refuse = [&](const char* problem) {
        out.Ok = false;
        out.Line = line;
        out.Column = column;
        out.Problem = problem;
        out.Text.clear();
        out.Shifts.clear();
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            char32_t cp = 0;
            const size_t n = DecodeUtf8(text, i, cp);
            if (n == 0) {
                refuse("the text is not UTF-8");
                return out;
            }
            if (state == TState::Plain || escaped) {
                refuse(escaped ? "no escape starts so" : "a character outside a string");
                return out;
            }
            if (state == TState::Comment) {
                put("?", 0);
            } else {
                char e[12];
                std::snprintf(e, sizeof e, cp < 0x10000 ? "\\u%04X" : "\\U%08X",
                              static_cast<unsigned>(cp));
                put(e, std::string_view(e).size() - 1);
            }
            i += n;
            ++column;
            continue;
        }
        size_t take = 1;
        const bool wasEscaped = escaped;
        escaped = false;
        switch (state) {
        case TState::Plain:
            if (c == '#') {
                state = TState::Comment;
            } else if (c == '"' || c == '\'') {
                const bool multi = RunOf(text, i, c) >= 3;
                take = multi ? 3 : 1;
                put(multi ? "\"\"\"" : "\"", 0);
                state = c == '"' ? (multi ? TState::MultiBasic : TState::Basic)
                                 : (multi ? TState::MultiLiteral : TState::Literal);
                break;
            }
            put(std::string_view(&c, 1), 0);
            break;
        case TState::Comment:
            if (c == '\n') state = TState::Plain;
            put(std::string_view(&c, 1), 0);
            break;
        case TState::Basic:
        case TState::MultiBasic:
            if (wasEscaped) {
                put(std::string_view(&c, 1), 0);
            } else if (c == '\\') {
                escaped = true;
                put("\\", 0);
            } else if (c == '"' && state == TState::MultiBasic) {
                // A run of three or more closes; up to two more belong to the text.
                take = RunOf(text, i, c);
                put(text.substr(i, take), 0);
                if (take >= 3) state = TState::Plain;
            } else {
                if (c == '"' || c == '\n') state = TState::Plain;
                put(std::string_view(&c, 1), 0);
            }
            break;
        case TState::Literal:
        case TState::MultiLiteral:
            if (c == '\\' || c == '"') {
                put(c == '"' ? "\\\"" : "\\\\", 1);
            } else if (c == '\'' && state == TState::MultiLiteral) {
                take = RunOf(text, i, c);
                if (take >= 3) {
                    put(std::string(take - 3, '\''), 0);
                    put("\"\"\"", 0);
                    state = TState::Plain;
                } else {
                    put(text.substr(i, take), 0);
                }
            } else if (state == TState::Literal && (c == '\'' || c == '\n')) {
                put(c == '\'' ? "\"" : "\n", 0);
                state = TState::Plain;
            } else {
                put(std::string_view(&c, 1), 0);
            }
            break;
        }
        i += take;
        column += take;
        if (c == '\n') {
            ++line;
            column = 1;
            lineStart = out.Text.size();
        }
    }
    return out;
}

} // namespace tomltext
