// Name patterns: regular expressions and wildcards, their case rules, and the
// text they require of every name they match (the quick test run first).
#include "search/entry_matcher.h"
#include "search/name_pattern.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

using TKind = TNamePattern::TKind;

bool Re(const std::string& pattern, const std::string& name, bool matchCase = false) {
    return TNamePattern(TKind::Regex, pattern, matchCase).Matches(name);
}

bool Glob(const std::string& pattern, const std::string& name, bool matchCase = false) {
    return TNamePattern(TKind::Glob, pattern, matchCase).Matches(name);
}

TEST(NamePattern, CaseFoldsAsciiLettersOnlyAsTheOtherCriteria) {
    EXPECT_TRUE(Re("^live\\.MP3$", "LIVE.mp3"));
    EXPECT_FALSE(Re("^live\\.MP3$", "LIVE.mp3", true));
    EXPECT_TRUE(Re("[a-c]x", "BX"));
    EXPECT_TRUE(Re("[^a-c]x", "dX"));
    EXPECT_FALSE(Re("[^a-c]x", "BX"));
    EXPECT_TRUE(Re("[[:digit:]]+z", "12Z"));
    EXPECT_TRUE(Re("\\w+\\.txt", "Notes.TXT")); // an escape stays an operator
    // Accented letters match only themselves, as in --name.
    EXPECT_TRUE(Re("caf\xC3\xA9", "CAF\xC3\xA9"));
    EXPECT_FALSE(Re("caf\xC3\xA9", "caf\xC3\x89"));
    EXPECT_FALSE(Glob("*\xC3\xA9", "\xC3\x89"));

    EXPECT_TRUE(Glob("*.mp3", "A.MP3"));
    EXPECT_FALSE(Glob("*.mp3", "A.MP3", true));
    EXPECT_FALSE(Glob("[!a]*", "Alpha"));
    EXPECT_TRUE(Glob("[a-]x", "-X"));
    EXPECT_TRUE(Glob("[a-]x", "Ax"));
    EXPECT_TRUE(Glob("\\a?", "AB"));
    EXPECT_FALSE(Glob("live", "live.mp3")); // the whole name
    EXPECT_TRUE(Re("live", "a live.mp3"));  // anywhere in it
}

TEST(NamePattern, WrongPatternsAreRefusedAndCopiesStandAlone) {
    EXPECT_THROW(TNamePattern(TKind::Regex, "(a", false), std::invalid_argument);
    EXPECT_THROW(TNamePattern(TKind::Regex, "[a", true), std::invalid_argument);
    EXPECT_THROW(TNamePattern(TKind::Regex, "(a)\\1", false), std::invalid_argument);
    EXPECT_NO_THROW(TNamePattern(TKind::Regex, "[\\1]", false)); // no back-reference there
    // Nested bounds unrolled: a million copies (and a hundred million one
    // level down) would take the library seconds and gigabytes.
    EXPECT_THROW(TNamePattern(TKind::Regex, "((a{100}){100}){100}", false), std::invalid_argument);
    EXPECT_THROW(TNamePattern(TKind::Regex, "(x+[ab]{20,400}){,300}", false),
                 std::invalid_argument);
    EXPECT_NO_THROW(TNamePattern(TKind::Regex, "^a{3000}(b{10}){30}\\.txt$", false));
    EXPECT_NO_THROW(TNamePattern(TKind::Regex, "(a{300}|b){300}", false));
    auto original = std::make_unique<TNamePattern>(TKind::Regex, "^a+b$", false);
    TNamePattern copy(*original);
    TNamePattern moved(TNamePattern(TKind::Glob, "*.txt", false));
    original.reset();
    EXPECT_TRUE(copy.Matches("AAB"));
    EXPECT_FALSE(copy.Matches("ba"));
    EXPECT_TRUE(moved.Matches("x.txt"));
    EXPECT_TRUE(TNamePattern().Matches("anything"));
}

TEST(NamePattern, EveryMatchHoldsTheRequiredText) {
    struct TCase {
        TKind Kind;
        const char* Pattern;
        const char* Required;
    };
    const TCase cases[] = {
        {TKind::Regex, "liday 12", "LIDAY 12"},
        {TKind::Regex, "ab*cd", "CD"},
        {TKind::Regex, "x+yz", "XYZ"},
        {TKind::Regex, "a?bc", "BC"},
        {TKind::Regex, "\\.mp3$", ".MP3"},
        {TKind::Regex, "ab{0,2}c", "A"},
        {TKind::Regex, "ab{2}c", "ABBC"},
        {TKind::Regex, "[xyz]def(gh)*i", "DEF"},
        {TKind::Regex, "^(cd|disc)[0-9]+", "C"},
        {TKind::Regex, "a|bcd", ""},
        {TKind::Regex, "\\w\\w", ""},
        {TKind::Glob, "*.fla?", ".fla"},
        {TKind::Glob, "\\*x[ab]yz", "*x"},
        {TKind::Glob, "[", ""},
        {TKind::Regex, "li(d|D)ay 12", "LIDAY 12"},
        {TKind::Regex, "x(a|(b|c))yz|q", ""},
        {TKind::Regex, "[|]abc", "|ABC"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TNamePattern(c.Kind, c.Pattern, false).RequiredText(), c.Required) << c.Pattern;

    // Whatever a pattern matches holds its text: the quick test never drops a match.
    const char* const names[] = {"liday 12", "ABCD", "acd",      "xxyz",  "bc",     "abbc",  "ac",
                                 "a.mp3",    "ydef", "defi",     "abbbc", "x.flac", "*xbyz", "CD12",
                                 "bcd",      "aXYZ", "lidAY 12", "xcyz",  "q",      "|abc"};
    for (const TCase& c : cases)
        for (bool matchCase : {false, true}) {
            TNamePattern p(c.Kind, c.Pattern, matchCase);
            const TFoldedFinder required(p.RequiredText(), matchCase);
            for (const char* name : names)
                if (p.Matches(name)) {
                    EXPECT_TRUE(required.FoundIn(name)) << c.Pattern << " " << name;
                }
        }
}

} // namespace
