#include "search/name_pattern.h"

#include "search/byte_matcher.h"
#include "search/entry_matcher.h"
#include "search/regex_needs.h"
#include "text/encodings.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fnmatch.h>
#include <locale.h>
#include <regex.h>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct TNamePatternRegex {
    regex_t Compiled{};
    bool Live = false; // compiled, to be freed
    // The same expression compiled byte by byte, for names of ASCII bytes
    // alone: a multibyte locale's matcher first widens every character of
    // the name, which costs it several times the match itself.
    regex_t Bytes{};
    bool BytesLive = false;
    // Quicker still for ASCII names, where it follows the expression.
    TByteMatcher Matcher;
    bool MatcherLive = false;
    ~TNamePatternRegex() {
        if (Live) regfree(&Compiled);
        if (BytesLive) regfree(&Bytes);
    }
};

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char OtherCase(char c) {
    return static_cast<char>(c ^ 0x20);
}

// The end of the bracket expression that opens at p[open] ("[a-z]",
// "[^]x]", "[[:alpha:]]"): the index of its "]", or npos when it is not
// closed. `negation` is "^" for an expression, "!" or "^" for a wildcard.
size_t BracketEnd(std::string_view p, size_t open, bool glob) {
    size_t j = open + 1;
    if (j < p.size() && (p[j] == '^' || (glob && p[j] == '!'))) ++j;
    if (j < p.size() && p[j] == ']') ++j;
    while (j < p.size() && p[j] != ']') {
        if (p[j] == '[' && j + 1 < p.size() &&
            (p[j + 1] == ':' || p[j + 1] == '.' || p[j + 1] == '=')) {
            const char close[] = {p[j + 1], ']', 0};
            const size_t end = p.find(close, j + 2);
            if (end == std::string_view::npos) return std::string_view::npos;
            j = end + 2;
        } else {
            ++j;
        }
    }
    return j < p.size() ? j : std::string_view::npos;
}

// A bracket expression that takes both cases of the ASCII letters it names:
// "[a-cx]" becomes "[a-cxA-CX]". Classes and other characters stay as they are.
std::string FoldBracket(std::string_view p, size_t open, size_t close, bool glob) {
    size_t body = open + 1;
    if (p[body] == '^' || (glob && p[body] == '!')) ++body;
    std::string extra;
    for (size_t j = body; j < close; ++j) {
        if (p[j] == '[' && (p[j + 1] == ':' || p[j + 1] == '.' || p[j + 1] == '=')) {
            j = p.find(std::string{p[j + 1], ']'}, j + 2) + 1;
            continue;
        }
        if (j + 2 < close && p[j + 1] == '-' && IsAsciiLetter(p[j]) && IsAsciiLetter(p[j + 2]) &&
            (p[j] < 'a') == (p[j + 2] < 'a')) {
            extra += {OtherCase(p[j]), '-', OtherCase(p[j + 2])};
            j += 2;
        } else if (IsAsciiLetter(p[j])) {
            extra += OtherCase(p[j]);
        }
    }
    // Before a "-" that ends the list, which would otherwise make a range.
    const size_t at = p[close - 1] == '-' && close - 1 > body ? close - 1 : close;
    return std::string(p.substr(open, at - open)) + extra +
           std::string(p.substr(at, close + 1 - at));
}

// The pattern with each ASCII letter matching both cases, as the search's
// other texts fold: only a to z, whatever the locale says of other letters.
std::string FoldAsciiCase(std::string_view p, bool glob) {
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\' && i + 1 < p.size()) {
            // An escaped letter of a wildcard is that letter; one of an
            // expression is an operator (\w, \b) and stays.
            if (glob && IsAsciiLetter(p[i + 1])) {
                out += {'[', p[i + 1], OtherCase(p[i + 1]), ']'};
            } else {
                out += {c, p[i + 1]};
            }
            ++i;
        } else if (c == '[') {
            const size_t close = BracketEnd(p, i, glob);
            if (close == std::string_view::npos) {
                out += c;
                continue;
            }
            out += FoldBracket(p, i, close, glob);
            i = close;
        } else if (IsAsciiLetter(c)) {
            out += {'[', c, OtherCase(c), ']'};
        } else {
            out += c;
        }
    }
    return out;
}

// The longest run of plain ASCII characters that every name a wildcard
// pattern matches holds, for a quick test of the name's bytes first; "" when
// there is none.
std::string WildcardText(std::string_view p) {
    std::string best, run;
    auto endRun = [&] {
        if (run.size() > best.size()) best = run;
        run.clear();
    };
    for (size_t i = 0; i < p.size();) {
        // One atom from i to next; literal when it stands for one character.
        size_t next = i + 1;
        bool literal = false;
        char ch = p[i];
        if (ch == '\\') {
            next = std::min(i + 2, p.size());
            literal = i + 1 < p.size() && static_cast<unsigned char>(p[i + 1]) < 0x80;
            if (literal) ch = p[i + 1];
        } else if (ch == '[') {
            const size_t close = BracketEnd(p, i, true);
            next = close == std::string_view::npos ? p.size() : close + 1;
        } else {
            literal = ch != '*' && ch != '?' && static_cast<unsigned char>(ch) < 0x80;
        }
        if (literal)
            run += ch;
        else
            endRun();
        i = next;
    }
    endRun();
    return best;
}

// Whether an expression reads the same in the C locale as in any other, for
// a name of ASCII bytes: no other bytes (a character of several bytes is one
// atom only in its locale), no collating elements or equivalence classes, and
// ranges only within the digits, the small or the capital letters, where
// every locale orders ASCII as ASCII does.
bool SameForAsciiNames(std::string_view p) {
    if (std::any_of(p.begin(), p.end(), [](char c) { return c & 0x80; })) return false;
    auto kind = [](char c) {
        return c >= '0' && c <= '9' ? 1 : c >= 'a' && c <= 'z' ? 2 : c >= 'A' && c <= 'Z' ? 3 : 0;
    };
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '\\') {
            ++i;
            continue;
        }
        if (p[i] != '[') continue;
        const size_t close = BracketEnd(p, i, false);
        if (close == std::string_view::npos) return false;
        size_t j = i + 1;
        if (p[j] == '^') ++j;
        for (; j < close; ++j) {
            if (p[j] == '[' && (p[j + 1] == '.' || p[j + 1] == '=')) return false;
            if (p[j] == '[' && p[j + 1] == ':') {
                j = p.find(":]", j + 2) + 1;
            } else if (j + 2 < close && p[j + 1] == '-') {
                if (kind(p[j]) == 0 || kind(p[j]) != kind(p[j + 2])) return false;
                j += 2;
            }
        }
        i = close;
    }
    return true;
}

// A back-reference ("\1") outside a bracket expression.
bool HasBackReference(std::string_view p) {
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '[') {
            const size_t close = BracketEnd(p, i, false);
            if (close == std::string_view::npos) return false;
            i = close;
        } else if (p[i] == '\\' && i + 1 < p.size()) {
            if (p[i + 1] >= '1' && p[i + 1] <= '9') return true;
            ++i;
        }
    }
    return false;
}

// Roughly how many atoms the library's compiled form of an expression holds:
// it copies a part once for each repetition its bounds ask for, so that
// "((a{100}){100}){100}" takes a million, and one more level all the memory.
double UnrolledSize(std::string_view p) {
    struct TLevel {
        double Sum = 0, Last = 0; // the level's atoms so far, and its last one's
    };
    std::vector<TLevel> levels(1);
    auto atom = [&](double size) {
        levels.back().Sum += size;
        levels.back().Last = size;
    };
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\') {
            ++i;
            atom(1);
        } else if (c == '[') {
            const size_t close = BracketEnd(p, i, false);
            if (close == std::string_view::npos) break;
            i = close;
            atom(1);
        } else if (c == '(') {
            levels.emplace_back();
        } else if (c == ')' && levels.size() > 1) {
            const double group = levels.back().Sum;
            levels.pop_back();
            atom(group);
        } else if (c == '{' || c == '+') {
            double times = 2; // "x+" is "xx*"
            if (c == '{') {
                const size_t close = p.find('}', i);
                if (close == std::string_view::npos) break;
                // The larger bound of "{n}", "{n,}", "{n,m}" or "{,m}".
                times = 1;
                double bound = 0;
                for (size_t j = i + 1; j <= close; ++j) {
                    if (p[j] >= '0' && p[j] <= '9') {
                        bound = std::min(bound * 10 + (p[j] - '0'), 1e18);
                    } else {
                        times = std::max(times, bound);
                        bound = 0;
                    }
                }
                i = close;
            }
            levels.back().Sum += levels.back().Last * (times - 1);
            levels.back().Last *= times;
        } else if (c != '|' && c != '*' && c != '?') {
            atom(1);
        }
    }
    return levels.front().Sum;
}

} // namespace

TNamePattern::TNamePattern() = default;

TNamePattern::TNamePattern(TKind kind, std::string pattern, bool matchCase)
    : kind_(kind), pattern_(std::move(pattern)), matchCase_(matchCase) {
    if (kind_ == TKind::Regex && HasBackReference(pattern_))
        throw std::invalid_argument("back-references (\\1 to \\9) are not supported");
    // More would take the library seconds and gigabytes to compile.
    constexpr double kMaxUnrolled = 100000;
    if (kind_ == TKind::Regex && UnrolledSize(pattern_) > kMaxUnrolled)
        throw std::invalid_argument("repetitions nested this deep are not supported (over 100000 "
                                    "copies of their parts)");
    Compile();
}

TNamePattern::TNamePattern(const TNamePattern& other)
    : kind_(other.kind_), pattern_(other.pattern_), matchCase_(other.matchCase_) {
    Compile();
}

TNamePattern& TNamePattern::operator=(const TNamePattern& other) {
    if (this != &other) {
        kind_ = other.kind_;
        pattern_ = other.pattern_;
        matchCase_ = other.matchCase_;
        Compile();
    }
    return *this;
}

TNamePattern::TNamePattern(TNamePattern&& other) noexcept {
    *this = std::move(other);
}

TNamePattern& TNamePattern::operator=(TNamePattern&& other) noexcept {
    kind_ = std::exchange(other.kind_, TKind::None);
    pattern_ = std::move(other.pattern_);
    matchCase_ = other.matchCase_;
    compiled_ = std::move(other.compiled_);
    required_ = std::move(other.required_);
    prefixes_ = std::move(other.prefixes_);
    anyOf_ = std::move(other.anyOf_);
    quick_ = std::exchange(other.quick_, 0);
    regex_ = std::move(other.regex_);
    return *this;
}

TNamePattern::~TNamePattern() = default;

void TNamePattern::Compile() {
    regex_.reset();
    if (kind_ == TKind::None) return;
    const bool glob = kind_ == TKind::Glob;
    // Case is folded in the pattern itself: REG_ICASE and FNM_CASEFOLD would
    // fold every letter the locale knows, where the search folds a to z only.
    compiled_ = matchCase_ ? pattern_ : FoldAsciiCase(pattern_, glob);
    prefixes_.clear();
    anyOf_.clear();
    quick_ = 0;
    if (glob) {
        required_ = WildcardText(pattern_);
        return;
    }
    TRegexNeeds needs = RegexNeeds(pattern_, matchCase_);
    required_ = std::move(needs.Text);
    prefixes_ = std::move(needs.Prefixes);
    for (const auto& group : needs.AnyOf) {
        auto& finders = anyOf_.emplace_back();
        for (const std::string& text : group)
            finders.emplace_back(text, matchCase_);
    }
    quick_ = prefixes_.size() + anyOf_.size();
    auto r = std::make_unique<TNamePatternRegex>();
    const int error = regcomp(&r->Compiled, compiled_.c_str(), REG_EXTENDED | REG_NOSUB);
    if (error != 0) {
        char message[256];
        regerror(error, &r->Compiled, message, sizeof message);
        throw std::invalid_argument(message);
    }
    r->Live = true;
    const bool same = SameForAsciiNames(compiled_);
    r->MatcherLive = same && r->Matcher.Compile(compiled_);
    if (MB_CUR_MAX > 1 && same) {
        static const locale_t bytes = newlocale(LC_ALL_MASK, "C", locale_t{});
        if (bytes) {
            const locale_t was = uselocale(bytes);
            r->BytesLive = regcomp(&r->Bytes, compiled_.c_str(), REG_EXTENDED | REG_NOSUB) == 0;
            uselocale(was);
        }
    }
    regex_ = std::move(r);
}

bool TNamePattern::QuickTestsPass(std::string_view name) const {
    auto startsWith = [&](const std::string& prefix) {
        if (name.size() < prefix.size()) return false;
        for (size_t k = 0; k < prefix.size(); ++k)
            if ((matchCase_ ? static_cast<unsigned char>(name[k]) : FoldChar(name[k])) !=
                static_cast<unsigned char>(prefix[k]))
                return false;
        return true;
    };
    if (!prefixes_.empty() && std::none_of(prefixes_.begin(), prefixes_.end(), startsWith))
        return false;
    for (const auto& group : anyOf_)
        if (std::none_of(group.begin(), group.end(),
                         [&](const TFoldedFinder& f) { return f.FoundIn(name); }))
            return false;
    return true;
}

bool TNamePattern::Matches(std::string_view name) const {
    if (!MayMatch(name)) return false;
    if (kind_ != TKind::Regex || !IsAscii(name)) return PatternMatches(name);
    if (regex_->MatcherLive)
        if (const int found = regex_->Matcher.Search(name); found >= 0) return found == 1;
    return Run(name, regex_->BytesLive);
}

bool TNamePattern::PatternMatches(std::string_view name) const {
    if (kind_ == TKind::None) return true;
    return Run(name, false);
}

bool TNamePattern::Run(std::string_view name, bool bytes) const {
    // Both take a NUL-terminated text; a name is a view into a larger buffer.
    // (REG_STARTEND would spare the copy, but not every regexec reads only
    // the range it is given.)
    thread_local std::string text;
    text.assign(name);
    if (kind_ == TKind::Regex)
        return regexec(bytes ? &regex_->Bytes : &regex_->Compiled, text.c_str(), 0, nullptr, 0) ==
               0;
    return fnmatch(compiled_.c_str(), text.c_str(), 0) == 0;
}
