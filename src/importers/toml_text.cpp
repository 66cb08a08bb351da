#include "importers/toml_text.h"

#include <array>
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

} // namespace tomltext
