#pragma once

#include "search/folded_finder.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TNamePatternRegex; // the compiled expression

// A name test by pattern, for a search that "contains" cannot express: a
// POSIX extended regular expression, found anywhere in the name as grep -E
// finds it, or a shell wildcard pattern that must match the whole name. Case
// is ignored unless it matters, as in every other criterion: ASCII letters
// only. A copy compiles
// its own expression, so that threads never share one: Matches builds the
// states of its matcher for ASCII names as names need them, so one object
// is for one thread at a time.
class TNamePattern {
public:
    enum class TKind { None, Regex, Glob };

    TNamePattern();
    // Throws std::invalid_argument with the library's message for a pattern
    // that does not compile, for back-references, whose matching can take
    // time exponential in the name's length, and for repetitions nested so
    // deep that compiling them would take seconds and gigabytes.
    TNamePattern(TKind kind, std::string pattern, bool matchCase);
    TNamePattern(const TNamePattern& other);
    TNamePattern& operator=(const TNamePattern& other);
    TNamePattern(TNamePattern&& other) noexcept;
    TNamePattern& operator=(TNamePattern&& other) noexcept;
    ~TNamePattern();

    bool Empty() const { return kind_ == TKind::None; }
    // True for an empty pattern.
    bool Matches(std::string_view name) const;
    // The quick tests alone, by the ASCII texts every match holds: false only
    // when the name cannot match. They hold for a name's bytes as stored,
    // before decoding, too (which keeps ASCII bytes as they are).
    bool MayMatch(std::string_view name) const { return quick_ == 0 || QuickTestsPass(name); }
    // The expression or wildcard itself as the locale reads it, without the
    // quick tests or the faster matcher for ASCII names: Matches' answer,
    // found the long way.
    bool PatternMatches(std::string_view name) const;
    // ASCII text that every matching name holds (its case aside), for a
    // quick test of many names first; "" when the pattern has none to offer.
    const std::string& RequiredText() const { return required_; }

private:
    void Compile();
    bool QuickTestsPass(std::string_view name) const;
    // bytes: the expression compiled byte by byte, for an ASCII name.
    bool Run(std::string_view name, bool bytes) const;

    TKind kind_ = TKind::None;
    std::string pattern_;
    bool matchCase_ = false;
    std::string compiled_; // the pattern with its case folded
    std::string required_;
    // An expression's quick tests: a name starts with one of prefixes_, and
    // holds one text of each of anyOf_. quick_ counts them.
    std::vector<std::string> prefixes_;
    std::vector<std::vector<TFoldedFinder>> anyOf_;
    size_t quick_ = 0;
    std::unique_ptr<TNamePatternRegex> regex_;
};
