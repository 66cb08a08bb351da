#include "search/regex_needs.h"

#include "search/entry_matcher.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr size_t kMaxSet = 16;  // texts in a set that is followed exactly
constexpr size_t kMaxText = 32; // bytes in one such text
constexpr size_t kMaxClass = 4; // members of a bracket expression taken as texts
constexpr size_t kMaxGroups = 4;
constexpr int kMaxDepth = 64; // nested groups followed; deeper ones ask for nothing

// A construct the analysis does not follow: the whole expression then asks
// for nothing (the expression itself still decides).
struct TCannot {};

using TSet = std::vector<std::string>; // sorted, each text once

void Normalise(TSet& s) {
    std::sort(s.begin(), s.end());
    s.erase(std::unique(s.begin(), s.end()), s.end());
}

bool HasEmpty(const TSet& s) {
    return std::any_of(s.begin(), s.end(), [](const std::string& t) { return t.empty(); });
}

// Every text of a with every text of b after it, unless that grows too big.
bool Cross(const TSet& a, const TSet& b, TSet& out) {
    if (a.size() * b.size() > kMaxSet) return false;
    TSet r;
    for (const std::string& x : a)
        for (const std::string& y : b) {
            if (x.size() + y.size() > kMaxText) return false;
            r.push_back(x + y);
        }
    Normalise(r);
    out = std::move(r);
    return true;
}

// What one part of the expression tells of the text it matches.
struct TInfo {
    bool Exact = false; // Set holds every text the part can match
    TSet Set;
    std::vector<TSet> Groups; // when not exact: each part needs one of a group's texts
    bool HasPrefix = false;   // every match of the part starts with one of Prefix
    TSet Prefix;
    bool HasSuffix = false; // and ends with one of Suffix
    TSet Suffix;
    bool Anchored = false; // every match of the part starts at the name's start
};

TInfo Texts(TSet s, bool anchored = false) {
    Normalise(s);
    TInfo r;
    r.Exact = r.HasPrefix = r.HasSuffix = true;
    r.Set = r.Prefix = r.Suffix = std::move(s);
    r.Anchored = anchored;
    return r;
}

// A group for "one of these occurs": none when the empty text is among them
// (it always occurs). A text that holds another of the group adds nothing.
bool AsGroup(const TSet& s, TSet& out) {
    if (s.empty() || HasEmpty(s)) return false;
    out.clear();
    for (const std::string& t : s)
        if (std::none_of(s.begin(), s.end(), [&](const std::string& u) {
                return u != t && t.find(u) != std::string::npos;
            }))
            out.push_back(t);
    return true;
}

// The better test first: longer shortest text, then fewer texts.
bool Better(const TSet& a, const TSet& b) {
    auto shortest = [](const TSet& s) {
        size_t n = kMaxText + 1;
        for (const std::string& t : s)
            n = std::min(n, t.size());
        return n;
    };
    const size_t x = shortest(a), y = shortest(b);
    return x != y ? x > y : a.size() < b.size();
}

// Whether a name with a text of h always holds one of g too.
bool Implies(const TSet& h, const TSet& g) {
    return std::all_of(h.begin(), h.end(), [&](const std::string& t) {
        return std::any_of(g.begin(), g.end(),
                           [&](const std::string& u) { return t.find(u) != std::string::npos; });
    });
}

// Adds a group unless one already there implies it; drops those it implies.
void AddGroup(std::vector<TSet>& groups, const TSet& s) {
    TSet g;
    if (!AsGroup(s, g) ||
        std::any_of(groups.begin(), groups.end(), [&](const TSet& h) { return Implies(h, g); }))
        return;
    std::erase_if(groups, [&](const TSet& h) { return Implies(g, h); });
    groups.push_back(std::move(g));
    std::stable_sort(groups.begin(), groups.end(), Better);
    if (groups.size() > kMaxGroups) groups.resize(kMaxGroups);
}

// The groups every match of a part satisfies.
std::vector<TSet> Needs(const TInfo& x) {
    if (x.Exact) {
        std::vector<TSet> g;
        AddGroup(g, x.Set);
        return g;
    }
    std::vector<TSet> g = x.Groups;
    if (x.HasPrefix) AddGroup(g, x.Prefix);
    if (x.HasSuffix) AddGroup(g, x.Suffix);
    return g;
}

TInfo Concat(const TInfo& a, const TInfo& b) {
    const bool anchored = a.Anchored || (a.Exact && a.Set == TSet{""} && b.Anchored);
    TSet both;
    if (a.Exact && b.Exact && Cross(a.Set, b.Set, both)) return Texts(both, anchored);
    TInfo r;
    r.Anchored = anchored;
    r.Groups = Needs(a);
    for (const TSet& g : Needs(b))
        AddGroup(r.Groups, g);
    // The text across the seam: "x+yz" ends its "x" run with "XYZ".
    TSet seam;
    if (a.HasSuffix && b.HasPrefix && Cross(a.Suffix, b.Prefix, seam)) AddGroup(r.Groups, seam);
    if (a.Exact) {
        r.HasPrefix = true;
        if (!b.HasPrefix || !Cross(a.Set, b.Prefix, r.Prefix)) r.Prefix = a.Set;
    } else {
        r.HasPrefix = a.HasPrefix;
        r.Prefix = a.Prefix;
    }
    if (b.Exact) {
        r.HasSuffix = true;
        if (!a.HasSuffix || !Cross(a.Suffix, b.Set, r.Suffix)) r.Suffix = b.Set;
    } else {
        r.HasSuffix = b.HasSuffix;
        r.Suffix = b.Suffix;
    }
    return r;
}

bool Union(const TSet& a, const TSet& b, TSet& out) {
    TSet r = a;
    r.insert(r.end(), b.begin(), b.end());
    Normalise(r);
    if (r.size() > kMaxSet) return false;
    out = std::move(r);
    return true;
}

TInfo Alternative(const TInfo& a, const TInfo& b) {
    const bool anchored = a.Anchored && b.Anchored;
    TSet either;
    if (a.Exact && b.Exact && Union(a.Set, b.Set, either)) return Texts(either, anchored);
    TInfo r;
    r.Anchored = anchored;
    // One group of each side: a match satisfies one side's, so one of both.
    const std::vector<TSet> ga = Needs(a), gb = Needs(b);
    if (!ga.empty() && !gb.empty() && Union(ga.front(), gb.front(), either))
        AddGroup(r.Groups, either);
    r.HasPrefix = a.HasPrefix && b.HasPrefix && Union(a.Prefix, b.Prefix, r.Prefix);
    r.HasSuffix = a.HasSuffix && b.HasSuffix && Union(a.Suffix, b.Suffix, r.Suffix);
    return r;
}

// x{min,max}; max < 0 for no upper bound.
TInfo Repeat(const TInfo& x, int min, int max) {
    if (min == 1 && max == 1) return x;
    if (min == 0) {
        TSet maybe;
        if (max == 1 && x.Exact && Union(x.Set, TSet{""}, maybe)) return Texts(maybe);
        return {};
    }
    if (x.Exact && max == min) {
        TSet power{""};
        bool fits = true;
        for (int k = 0; k < min && fits; ++k)
            fits = Cross(power, x.Set, power);
        if (fits) return Texts(power, x.Anchored);
    }
    // At least one copy of x: the match starts with the first, ends with the last.
    TInfo r;
    r.Groups = Needs(x);
    r.HasPrefix = x.HasPrefix;
    r.Prefix = x.Prefix;
    r.HasSuffix = x.HasSuffix;
    r.Suffix = x.Suffix;
    r.Anchored = x.Anchored;
    return r;
}

// Reads the expression as the regular expression library reads an extended
// one. Wherever the two might read it apart, it gives up.
class TParser {
public:
    TParser(std::string_view p, bool matchCase) : p_(p), matchCase_(matchCase) {}

    TInfo Whole() {
        TInfo r = Alternation(0);
        if (i_ != p_.size()) throw TCannot{}; // a ")" without its "("
        return r;
    }

private:
    bool At(char c) const { return i_ < p_.size() && p_[i_] == c; }

    TInfo Alternation(int depth) {
        TInfo r = Sequence(depth);
        while (At('|')) {
            ++i_;
            r = Alternative(r, Sequence(depth));
        }
        return r;
    }

    TInfo Sequence(int depth) {
        TInfo r = Texts({""});
        while (i_ < p_.size() && !At('|') && !At(')'))
            r = Concat(r, Repeated(depth));
        return r;
    }

    TInfo Repeated(int depth) {
        const bool anchor = At('^') || At('$');
        TInfo x = Atom(depth);
        while (i_ < p_.size() && std::strchr("*+?{", p_[i_])) {
            if (anchor) throw TCannot{};
            int min = 0, max = -1;
            Quantifier(min, max);
            x = Repeat(x, min, max);
        }
        return x;
    }

    TInfo Literal(char c) {
        const char folded = matchCase_ ? c : static_cast<char>(FoldChar(c));
        return Texts({std::string(1, folded)});
    }

    TInfo Atom(int depth) {
        const auto c = static_cast<unsigned char>(p_[i_++]);
        switch (c) {
        case '(': {
            if (depth >= kMaxDepth) throw TCannot{};
            TInfo r = Alternation(depth + 1);
            if (!At(')')) throw TCannot{};
            ++i_;
            return r;
        }
        case '*':
        case '+':
        case '?':
        case '{':
            throw TCannot{}; // nothing to repeat
        case '[':
            return Bracket();
        case '.':
            return {};
        case '^':
            return Texts({""}, true);
        case '$':
            return Texts({""});
        case '\\': {
            if (i_ >= p_.size()) throw TCannot{};
            const auto e = static_cast<unsigned char>(p_[i_++]);
            // \w, \b, \<, \` and the like are operators, not texts.
            if (e >= 0x80 || std::isalnum(e) || std::strchr("<>`'", e)) return {};
            return Literal(static_cast<char>(e));
        }
        default:
            // A byte of a longer character: in a multibyte locale the
            // character is one atom, which a "?" after it makes optional whole.
            if (c >= 0x80) return {};
            return Literal(static_cast<char>(c));
        }
    }

    int Number() {
        int n = 0, digits = 0;
        while (i_ < p_.size() && std::isdigit(static_cast<unsigned char>(p_[i_]))) {
            n = n * 10 + (p_[i_++] - '0');
            if (++digits > 5) throw TCannot{};
        }
        return digits ? n : -1;
    }

    void Quantifier(int& min, int& max) {
        const char q = p_[i_++];
        if (q == '*') {
            min = 0, max = -1;
        } else if (q == '+') {
            min = 1, max = -1;
        } else if (q == '?') {
            min = 0, max = 1;
        } else { // "{n}", "{n,}", "{n,m}", "{,m}"
            const int n = Number();
            int m = n;
            if (At(',')) {
                ++i_;
                m = Number();
            } else if (n < 0) {
                throw TCannot{};
            }
            if (!At('}')) throw TCannot{};
            ++i_;
            min = std::max(n, 0);
            max = m;
            if (max >= 0 && max < min) throw TCannot{};
        }
    }

    // "[...]": a few plain ASCII members are texts of one byte each; a
    // negation, range, class or other byte is anything.
    TInfo Bracket() {
        size_t j = i_;
        const bool negated = j < p_.size() && p_[j] == '^';
        if (negated) ++j;
        bool plain = !negated;
        TSet members;
        auto special = [&](size_t k) {
            return k + 1 < p_.size() && p_[k] == '[' && std::strchr(":.=", p_[k + 1]);
        };
        for (bool first = true;; first = false) {
            if (j >= p_.size()) throw TCannot{};
            const auto c = static_cast<unsigned char>(p_[j]);
            if (c == ']' && !first) break;
            if (special(j)) {
                const char close[] = {p_[j + 1], ']', 0};
                const size_t end = p_.find(close, j + 2);
                if (end == std::string_view::npos) throw TCannot{};
                j = end + 2;
                plain = false;
            } else if (j + 2 < p_.size() && p_[j + 1] == '-' && p_[j + 2] != ']') {
                if (special(j + 2)) throw TCannot{};
                j += 3;
                plain = false;
            } else {
                if (c >= 0x80) plain = false;
                members.push_back(Literal(static_cast<char>(c)).Set.front());
                ++j;
            }
        }
        i_ = j + 1;
        Normalise(members);
        if (!plain || members.size() > kMaxClass) return {};
        return Texts(members);
    }

    std::string_view p_;
    size_t i_ = 0;
    bool matchCase_;
};

// The longest text that every text of s holds.
std::string CommonText(const TSet& s) {
    const std::string& shortest =
        *std::min_element(s.begin(), s.end(), [](const std::string& a, const std::string& b) {
            return a.size() < b.size();
        });
    for (size_t n = shortest.size(); n > 0; --n)
        for (size_t at = 0; at + n <= shortest.size(); ++at) {
            const std::string t = shortest.substr(at, n);
            if (std::all_of(s.begin(), s.end(),
                            [&](const std::string& u) { return u.find(t) != std::string::npos; }))
                return t;
        }
    return {};
}

} // namespace

TRegexNeeds RegexNeeds(std::string_view pattern, bool matchCase) {
    TRegexNeeds needs;
    // The library reads the expression up to its first zero byte.
    pattern = pattern.substr(0, pattern.find('\0'));
    try {
        const TInfo r = TParser(pattern, matchCase).Whole();
        needs.AnyOf = Needs(r);
        // One text for the name search's quick test: "disc" or "disk" give "DIS".
        for (const auto& g : needs.AnyOf) {
            const std::string t = g.size() == 1 ? g.front() : CommonText(g);
            if (t.size() > needs.Text.size()) needs.Text = t;
        }
        if (r.Anchored && r.HasPrefix && !r.Prefix.empty() && !HasEmpty(r.Prefix)) {
            // A text that starts with another of them adds nothing.
            for (const std::string& t : r.Prefix)
                if (std::none_of(r.Prefix.begin(), r.Prefix.end(), [&](const std::string& u) {
                        return u != t && t.compare(0, u.size(), u) == 0;
                    }))
                    needs.Prefixes.push_back(t);
        }
    } catch (const TCannot&) {
        return {};
    }
    return needs;
}
