#include "search/byte_matcher.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr size_t kMaxNodes = 2000;
constexpr size_t kMaxStates = 1000;
constexpr size_t kMaxReading = 1 << 20; // bytes of the expression read again for copies
constexpr int kMaxDepth = 64;
constexpr int kMaxRepeat = 100;

// What the matcher does not follow: the library then matches.
struct TCannot {};

using TBytes = std::bitset<128>;

TBytes Range(int from, int to) {
    TBytes b;
    for (int c = from; c <= to; ++c)
        b.set(static_cast<size_t>(c));
    return b;
}

TBytes Of(const char* chars) {
    TBytes b;
    for (const char* c = chars; *c; ++c)
        b.set(static_cast<unsigned char>(*c));
    return b;
}

// A named class as every locale has it for ASCII.
TBytes Class(std::string_view name) {
    const TBytes upper = Range('A', 'Z'), lower = Range('a', 'z'), digit = Range('0', '9');
    const TBytes alpha = upper | lower, graph = Range(0x21, 0x7E);
    if (name == "alpha") return alpha;
    if (name == "upper") return upper;
    if (name == "lower") return lower;
    if (name == "digit") return digit;
    if (name == "alnum") return alpha | digit;
    if (name == "xdigit") return digit | Range('a', 'f') | Range('A', 'F');
    if (name == "space") return Of(" \t\n\v\f\r");
    if (name == "blank") return Of(" \t");
    if (name == "punct") return graph & ~(alpha | digit);
    if (name == "print") return Range(0x20, 0x7E);
    if (name == "graph") return graph;
    if (name == "cntrl") return Range(0, 0x1F) | Range(0x7F, 0x7F);
    throw TCannot{};
}

} // namespace

int TByteMatcher::Add(TNode node) {
    if (nodes_.size() >= kMaxNodes) throw TCannot{};
    nodes_.push_back(node);
    return static_cast<int>(nodes_.size()) - 1;
}

void TByteMatcher::Join(const std::vector<std::pair<int, int>>& outs, int to) {
    for (const auto& [node, exit] : outs)
        (exit ? nodes_[static_cast<size_t>(node)].Out2 : nodes_[static_cast<size_t>(node)].Out) =
            to;
}

bool TByteMatcher::Compile(std::string_view pattern) {
    p_ = pattern.substr(0, pattern.find('\0'));
    i_ = reread_ = 0;
    nodes_.clear();
    try {
        TFragment f = Alternation(0);
        if (i_ != p_.size()) throw TCannot{};
        const int match = Add({TNode::Match, {}, -1, -1});
        Join(f.Outs, match);
        start_ = f.Start;
    } catch (const TCannot&) {
        nodes_.clear();
        start_ = -1;
        return false;
    }
    ids_.clear();
    sets_.clear();
    next_.clear();
    matched_.clear();
    matchedAtEnd_.clear();
    stop_.clear();
    restartsEmpty_ = Closure({start_}, false, false).empty();
    State(Closure({start_}, true, false), true); // state 0, at the text's start
    return true;
}

TByteMatcher::TFragment TByteMatcher::Alternation(int depth) {
    TFragment f = Sequence(depth);
    while (i_ < p_.size() && p_[i_] == '|') {
        ++i_;
        TFragment g = Sequence(depth);
        const int split = Add({TNode::Split, {}, f.Start, g.Start});
        f.Start = split;
        f.Outs.insert(f.Outs.end(), g.Outs.begin(), g.Outs.end());
    }
    return f;
}

TByteMatcher::TFragment TByteMatcher::Sequence(int depth) {
    auto more = [&] { return i_ < p_.size() && p_[i_] != '|' && p_[i_] != ')'; };
    if (!more()) {
        const int empty = Add({TNode::Empty, {}, -1, -1});
        return {empty, {{empty, 0}}};
    }
    TFragment f = Repeated(depth);
    while (more()) {
        TFragment g = Repeated(depth);
        Join(f.Outs, g.Start);
        f.Outs = std::move(g.Outs);
    }
    return f;
}

TByteMatcher::TFragment TByteMatcher::Optional(TFragment f) {
    const int split = Add({TNode::Split, {}, f.Start, -1});
    f.Start = split;
    f.Outs.emplace_back(split, 1);
    return f;
}

int TByteMatcher::Number() {
    int n = 0, digits = 0;
    while (i_ < p_.size() && p_[i_] >= '0' && p_[i_] <= '9') {
        n = n * 10 + (p_[i_++] - '0');
        if (++digits > 5) throw TCannot{};
    }
    return digits ? n : -1;
}

TByteMatcher::TFragment TByteMatcher::Repeated(int depth) {
    const size_t atom = i_;
    const bool anchor = p_[i_] == '^' || p_[i_] == '$';
    TFragment f = Atom(depth);
    if (i_ >= p_.size() || !std::strchr("*+?{", p_[i_])) return f;
    if (anchor) throw TCannot{};
    const size_t atomEnd = i_;
    int min = 0, max = -1;
    const char q = p_[i_++];
    if (q == '+') {
        min = 1;
    } else if (q == '?') {
        max = 1;
    } else if (q == '{') {
        min = Number();
        max = min;
        if (i_ < p_.size() && p_[i_] == ',') {
            ++i_;
            max = Number();
        } else if (min < 0) {
            throw TCannot{};
        }
        if (i_ >= p_.size() || p_[i_] != '}') throw TCannot{};
        ++i_;
        min = std::max(min, 0);
        if ((max >= 0 && max < min) || min > kMaxRepeat || max > kMaxRepeat) throw TCannot{};
    }
    // A second operator ("a**", "a{2}?") is left to the library.
    if (i_ < p_.size() && std::strchr("*+?{", p_[i_])) throw TCannot{};
    const size_t after = i_;
    // Each copy of the atom is read again from the expression.
    auto copy = [&] {
        reread_ += atomEnd - atom;
        if (reread_ > kMaxReading) throw TCannot{};
        i_ = atom;
        TFragment c = Atom(depth);
        i_ = atomEnd;
        return c;
    };
    std::vector<TFragment> parts;
    for (int k = 0; k < min; ++k)
        parts.push_back(k == 0 ? f : copy());
    if (max < 0) {
        // Any number more: a loop through one copy.
        TFragment c = min == 0 ? f : copy();
        const int split = Add({TNode::Split, {}, c.Start, -1});
        Join(c.Outs, split);
        parts.push_back({split, {{split, 1}}});
    } else {
        for (int k = min; k < max; ++k)
            parts.push_back(Optional(k == 0 ? f : copy()));
    }
    i_ = after;
    if (parts.empty()) {
        const int empty = Add({TNode::Empty, {}, -1, -1});
        return {empty, {{empty, 0}}};
    }
    TFragment r = std::move(parts.front());
    for (size_t k = 1; k < parts.size(); ++k) {
        Join(r.Outs, parts[k].Start);
        r.Outs = std::move(parts[k].Outs);
    }
    return r;
}

TByteMatcher::TFragment TByteMatcher::Atom(int depth) {
    const auto c = static_cast<unsigned char>(p_[i_++]);
    auto bytes = [&](const TBytes& b) {
        const int n = Add({TNode::Byte, b, -1, -1});
        return TFragment{n, {{n, 0}}};
    };
    switch (c) {
    case '(': {
        if (depth >= kMaxDepth) throw TCannot{};
        TFragment f = Alternation(depth + 1);
        if (i_ >= p_.size() || p_[i_] != ')') throw TCannot{};
        ++i_;
        return f;
    }
    case ')':
    case '*':
    case '+':
    case '?':
    case '{':
        throw TCannot{};
    case '[':
        return bytes(Bracket());
    case '.':
        return bytes(Range(1, 0x7F));
    case '^':
    case '$': {
        const int n = Add({c == '^' ? TNode::LineStart : TNode::LineEnd, {}, -1, -1});
        return {n, {{n, 0}}};
    }
    case '\\': {
        if (i_ >= p_.size()) throw TCannot{};
        const auto e = static_cast<unsigned char>(p_[i_++]);
        const TBytes word = Class("alnum") | Of("_");
        if (e == 'w') return bytes(word);
        if (e == 'W') return bytes(~word & Range(1, 0x7F));
        if (e == 's') return bytes(Class("space"));
        if (e == 'S') return bytes(~Class("space") & Range(1, 0x7F));
        // Word boundaries and the other operators.
        if (e >= 0x80 || std::isalnum(e) || std::strchr("<>`'", e)) throw TCannot{};
        return bytes(TBytes().set(e));
    }
    default:
        if (c >= 0x80) throw TCannot{};
        return bytes(TBytes().set(c));
    }
}

std::bitset<128> TByteMatcher::Bracket() {
    TBytes b;
    const bool negated = i_ < p_.size() && p_[i_] == '^';
    if (negated) ++i_;
    for (bool first = true;; first = false) {
        if (i_ >= p_.size()) throw TCannot{};
        const auto c = static_cast<unsigned char>(p_[i_]);
        if (c >= 0x80) throw TCannot{};
        if (c == ']' && !first) break;
        if (c == '[' && i_ + 1 < p_.size() && std::strchr(":.=", p_[i_ + 1])) {
            if (p_[i_ + 1] != ':') throw TCannot{}; // collating elements and equivalents
            const size_t end = p_.find(":]", i_ + 2);
            if (end == std::string_view::npos) throw TCannot{};
            b |= Class(p_.substr(i_ + 2, end - i_ - 2));
            i_ = end + 2;
        } else if (i_ + 2 < p_.size() && p_[i_ + 1] == '-' && p_[i_ + 2] != ']') {
            const auto to = static_cast<unsigned char>(p_[i_ + 2]);
            if (to == '[' || to >= 0x80 || to < c) throw TCannot{};
            b |= Range(c, to);
            i_ += 3;
        } else {
            b.set(c);
            ++i_;
        }
    }
    ++i_;
    return negated ? ~b & Range(1, 0x7F) : b;
}

std::vector<int> TByteMatcher::Closure(std::vector<int> from, bool atStart, bool atEnd) const {
    std::vector<char> seen(nodes_.size(), 0);
    std::vector<int> out;
    while (!from.empty()) {
        const int n = from.back();
        from.pop_back();
        if (n < 0 || seen[static_cast<size_t>(n)]) continue;
        seen[static_cast<size_t>(n)] = 1;
        const TNode& node = nodes_[static_cast<size_t>(n)];
        switch (node.Kind) {
        case TNode::Byte:
        case TNode::Match:
            out.push_back(n);
            break;
        case TNode::Split:
            from.push_back(node.Out2);
            [[fallthrough]];
        case TNode::Empty:
            from.push_back(node.Out);
            break;
        case TNode::LineStart:
            if (atStart) from.push_back(node.Out);
            break; // never again past the start
        case TNode::LineEnd:
            if (atEnd)
                from.push_back(node.Out);
            else
                out.push_back(n); // waits for the end
            break;
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

int TByteMatcher::State(std::vector<int> nodes, bool initial) {
    auto key = std::make_pair(std::move(nodes), initial);
    if (auto it = ids_.find(key); it != ids_.end()) return it->second;
    if (sets_.size() >= kMaxStates) return -1;
    const int id = static_cast<int>(sets_.size());
    auto isMatch = [&](int n) { return nodes_[static_cast<size_t>(n)].Kind == TNode::Match; };
    const std::vector<int>& set = key.first;
    matched_.push_back(std::any_of(set.begin(), set.end(), isMatch));
    // Nothing left to follow, and no match can start later: "^ab" past its start.
    stop_.push_back(matched_.back() || (set.empty() && !initial && restartsEmpty_));
    const std::vector<int> end = Closure(set, initial, true);
    matchedAtEnd_.push_back(std::any_of(end.begin(), end.end(), isMatch));
    sets_.push_back(set);
    next_.emplace_back();
    next_.back().fill(-1);
    ids_.emplace(std::move(key), id);
    return id;
}

int TByteMatcher::Step(int state, unsigned char c) {
    if (stop_[static_cast<size_t>(state)]) return next_[static_cast<size_t>(state)][c] = state;
    std::vector<int> from{start_}; // a match may start at every byte
    for (int n : sets_[static_cast<size_t>(state)]) {
        const TNode& node = nodes_[static_cast<size_t>(n)];
        if (node.Kind == TNode::Byte && node.Bytes.test(c)) from.push_back(node.Out);
    }
    const int next = State(Closure(std::move(from), false, false), false);
    if (next >= 0) next_[static_cast<size_t>(state)][c] = next;
    return next;
}

int TByteMatcher::Search(std::string_view text) {
    if (start_ < 0) return -1;
    size_t state = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0 || stop_[state]) break;
        if (c >= 0x80) return -1;
        int next = next_[state][c];
        if (next < 0 && (next = Step(static_cast<int>(state), c)) < 0) return -1;
        state = static_cast<size_t>(next);
    }
    return matched_[state] || (!stop_[state] && matchedAtEnd_[state]);
}
