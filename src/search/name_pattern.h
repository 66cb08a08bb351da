#pragma once

#include <memory>
#include <string>
#include <string_view>

struct TNamePatternRegex; // the compiled expression

// A name test by pattern, for a search that "contains" cannot express: a
// POSIX extended regular expression, found anywhere in the name as grep -E
// finds it, or a shell wildcard pattern that must match the whole name. Case
// is ignored unless it matters, as in every other criterion. A copy compiles
// its own expression, so that threads never share one.
class TNamePattern {
public:
    enum class TKind { None, Regex, Glob };

    TNamePattern();
    // Throws std::invalid_argument with the library's message for a pattern
    // that does not compile, and for back-references, whose matching can take
    // time exponential in the name's length.
    TNamePattern(TKind kind, std::string pattern, bool matchCase);
    TNamePattern(const TNamePattern& other);
    TNamePattern& operator=(const TNamePattern& other);
    TNamePattern(TNamePattern&& other) noexcept;
    TNamePattern& operator=(TNamePattern&& other) noexcept;
    ~TNamePattern();

    bool Empty() const { return kind_ == TKind::None; }
    // True for an empty pattern.
    bool Matches(std::string_view name) const;

private:
    void Compile();

    TKind kind_ = TKind::None;
    std::string pattern_;
    bool matchCase_ = false;
    std::unique_ptr<TNamePatternRegex> regex_;
};
