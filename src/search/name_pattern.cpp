#include "search/name_pattern.h"

#include <fnmatch.h>
#include <regex.h>
#include <stdexcept>
#include <utility>

struct TNamePatternRegex {
    regex_t Compiled{};
    bool Live = false; // compiled, to be freed
    ~TNamePatternRegex() {
        if (Live) regfree(&Compiled);
    }
};

namespace {

// A back-reference ("\1") outside a bracket expression.
bool HasBackReference(std::string_view p) {
    bool bracket = false;
    for (size_t i = 0; i < p.size(); ++i) {
        if (bracket) {
            // "[]a]" and "[^]a]" hold a "]"; "[[:alpha:]]" a class.
            if (p[i] == '[' && i + 1 < p.size() &&
                (p[i + 1] == ':' || p[i + 1] == '.' || p[i + 1] == '=')) {
                const char close[] = {p[i + 1], ']', 0};
                size_t end = p.find(close, i + 2);
                if (end != std::string_view::npos) i = end + 1;
            } else if (p[i] == ']') {
                bracket = false;
            }
            continue;
        }
        if (p[i] == '[') {
            bracket = true;
            if (i + 1 < p.size() && p[i + 1] == '^') ++i;
            if (i + 1 < p.size() && p[i + 1] == ']') ++i;
        } else if (p[i] == '\\' && i + 1 < p.size()) {
            if (p[i + 1] >= '1' && p[i + 1] <= '9') return true;
            ++i;
        }
    }
    return false;
}

} // namespace

TNamePattern::TNamePattern() = default;

TNamePattern::TNamePattern(TKind kind, std::string pattern, bool matchCase)
    : kind_(kind), pattern_(std::move(pattern)), matchCase_(matchCase) {
    if (kind_ == TKind::Regex && HasBackReference(pattern_))
        throw std::invalid_argument("back-references (\\1 to \\9) are not supported");
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
    regex_ = std::move(other.regex_);
    return *this;
}
TNamePattern::~TNamePattern() = default;

void TNamePattern::Compile() {
    regex_.reset();
    if (kind_ != TKind::Regex) return;
    auto r = std::make_unique<TNamePatternRegex>();
    const int flags = REG_EXTENDED | REG_NOSUB | (matchCase_ ? 0 : REG_ICASE);
    const int error = regcomp(&r->Compiled, pattern_.c_str(), flags);
    if (error != 0) {
        char message[256];
        regerror(error, &r->Compiled, message, sizeof message);
#ifdef __GLIBC__
        // Its failed regcomp keeps the case table, which regfree takes back.
        regfree(&r->Compiled);
#endif
        throw std::invalid_argument(message);
    }
    r->Live = true;
    regex_ = std::move(r);
}

bool TNamePattern::Matches(std::string_view name) const {
    if (kind_ == TKind::None) return true;
    if (kind_ == TKind::Regex) {
#ifdef REG_STARTEND
        // The name is a view into a larger buffer: its end is given, not copied.
        regmatch_t range{};
        range.rm_so = 0;
        range.rm_eo = static_cast<regoff_t>(name.size());
        return regexec(&regex_->Compiled, name.data(), 1, &range, REG_STARTEND) == 0;
#else
        const std::string text(name);
        return regexec(&regex_->Compiled, text.c_str(), 0, nullptr, 0) == 0;
#endif
    }
    thread_local std::string text;
    text.assign(name);
    return fnmatch(pattern_.c_str(), text.c_str(), matchCase_ ? 0 : FNM_CASEFOLD) == 0;
}
