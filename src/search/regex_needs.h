#pragma once

#include <string>
#include <string_view>
#include <vector>

// What every name a POSIX extended regular expression matches must hold,
// worked out from the expression's text, so that most names can be ruled out
// by a few byte comparisons before the expression runs. Small alternations
// and bracket expressions count: "^(cd|disc) ?[0-9]+" needs "CD" or "DISC"
// at the start, "[l][i]ve" needs "LIVE". Only ASCII texts are given, folded
// the search's way (a to z upper-cased) unless case matters, so that a name's
// stored bytes can be tested before they are decoded. Whatever the analysis
// cannot follow (classes, ranges, back-references, other bytes) asks for
// nothing: it may find less than is needed, never more.
struct TRegexNeeds {
    // Each group: at least one of its texts occurs in every match.
    std::vector<std::vector<std::string>> AnyOf;
    // Every matching name starts with one of these; empty when not known.
    std::vector<std::string> Prefixes;
    // The longest text found that every match holds ("" when none).
    std::string Text;
};

TRegexNeeds RegexNeeds(std::string_view pattern, bool matchCase);
