// The texts an expression needs of every name it matches, and the quick
// tests built on them: they may let a name through that the expression then
// refuses, but never refuse one it matches. Nor may the byte-by-byte matcher
// for ASCII names answer otherwise than the locale's.
#include "search/byte_matcher.h"
#include "search/folded_finder.h"
#include "search/name_pattern.h"
#include "search/regex_needs.h"
#include "support/scoped_state.h"
#include "text/name_text.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using TGroups = std::vector<std::vector<std::string>>;

TEST(RegexNeeds, AlternationsAndSmallBracketsGiveTexts) {
    struct TCase {
        const char* Pattern;
        bool MatchCase;
        TGroups AnyOf;
        std::vector<std::string> Prefixes;
    };
    const TCase cases[] = {
        {"^(cd|disc) ?[0-9]+", false, {{"CD", "DISC"}}, {"CD", "DISC"}},
        {"[l][i][d][a][y][ ][1][2]", false, {{"LIDAY 12"}}, {}},
        {"li(d|D)ay", false, {{"LIDAY"}}, {}},
        {"li(d|D)ay", true, {{"liDay", "liday"}}, {}},
        {"[dD]isc", true, {{"Disc", "disc"}}, {}},
        {"x(a|(b|c))yz|q", false, {{"Q", "XAYZ", "XBYZ", "XCYZ"}}, {}},
        {"a.bc", false, {{"BC"}, {"A"}}, {}},
        {"(ab)*c", false, {{"C"}}, {}},
        {"(ab){2}x", false, {{"ABABX"}}, {}},
        {"(ab){2,}x", false, {{"ABX"}}, {}},
        {"a{,2}b", false, {{"B"}}, {}},
        {"a?bc", false, {{"BC"}}, {}},
        {"^\\.x", false, {{".X"}}, {".X"}},
        {"^a|b", false, {{"A", "B"}}, {}},
        {"^a|^bc", false, {{"A", "BC"}}, {"A", "BC"}},
        {"\\wfoo\\b", false, {{"FOO"}}, {}},
        {"ab\\|c", false, {{"AB|C"}}, {}},
        {"[[:alpha:]]x[^y]z[a-c]", false, {{"X"}, {"Z"}}, {}},
        {"caf\xC3\xA9+s", false, {{"CAF"}, {"S"}}, {}},
        // Nothing every match needs, or nothing followed.
        {"a|", false, {}, {}},
        {"x*|y", false, {}, {}},
        {"[abcde]", false, {}, {}},
        {"(a", false, {}, {}},
        {"a)", false, {}, {}},
        {"*a", false, {}, {}},
        {"a{2", false, {}, {}},
        {"^*a", false, {}, {}},
        {"[a-[.z.]]", false, {}, {}},
    };
    for (const TCase& c : cases) {
        const TRegexNeeds needs = RegexNeeds(c.Pattern, c.MatchCase);
        EXPECT_EQ(needs.AnyOf, c.AnyOf) << c.Pattern;
        EXPECT_EQ(needs.Prefixes, c.Prefixes) << c.Pattern;
    }
    // The one text the name search looks for first: a group's common part.
    EXPECT_EQ(RegexNeeds("[dD]isc", true).Text, "isc");
    EXPECT_EQ(RegexNeeds("x(disc|disk)[0-9]", false).Text, "XDIS");
    EXPECT_EQ(RegexNeeds("^(cd|disc) ?[0-9]+", false).Text, "C");
    // The library reads up to a zero byte; what follows it is no need.
    EXPECT_EQ(RegexNeeds(std::string("ab\0cd", 5), false).Text, "AB");
    // Deep nesting asks for nothing rather than recursing without end.
    EXPECT_TRUE(
        RegexNeeds(std::string(5000, '(') + "a" + std::string(5000, ')'), false).AnyOf.empty());
}

// Random expressions, each with a text it is likely to match.
class TExpressionMaker {
public:
    explicit TExpressionMaker(uint32_t seed) : rng_(seed) {}

    void Make(std::string& pattern, std::string& sample) {
        pattern.clear();
        sample.clear();
        Alternation(0, pattern, sample);
    }

    // A name: the sample, changed a little or not, or bytes at random.
    std::string Name(const std::string& sample) {
        std::string s = Pick(4) ? sample : RandomText(Pick(8));
        if (Pick(3) == 0) s = RandomText(Pick(3)) + s + RandomText(Pick(3));
        for (int k = Pick(3); k > 0 && !s.empty(); --k) {
            const size_t at = Pick(static_cast<int>(s.size()));
            switch (Pick(4)) {
            case 0:
                s.erase(at, 1);
                break;
            case 1:
                s.insert(at, RandomText(1));
                break;
            case 2:
                s[at] = static_cast<char>(s[at] ^ 0x20); // the other case of a letter
                break;
            default:
                s[at] = RandomText(1)[0];
            }
        }
        return s;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string RandomText(int n) {
        // ASCII, an accented letter in both cases, a lone lead byte, and bytes
        // that are no UTF-8 at all.
        static const char* const kBits[] = {
            "a",  "A", "b", "c", "C", "d",        "D",        "x",    "1",    "2",   " ",
            "\t", ".", "|", "-", "_", "\xC3\xA9", "\xC3\x89", "\xC3", "\xFF", "\xE9"};
        std::string s;
        for (int k = 0; k < n; ++k)
            s += kBits[Pick(static_cast<int>(std::size(kBits)))];
        return s;
    }

    void Alternation(int depth, std::string& p, std::string& s) {
        const int branches = depth < 3 && Pick(3) == 0 ? 2 + Pick(2) : 1;
        const int chosen = Pick(branches);
        for (int b = 0; b < branches; ++b) {
            if (b) p += '|';
            std::string sample;
            if (Pick(8)) Sequence(depth, p, sample); // else an empty alternative
            if (b == chosen) s += sample;
        }
    }

    void Sequence(int depth, std::string& p, std::string& s) {
        for (int n = 1 + Pick(4); n > 0; --n) {
            std::string atomP, atomS;
            Atom(depth, atomP, atomS);
            p += atomP;
            const bool anchor = atomP == "^" || atomP == "$";
            switch (anchor ? 0 : Pick(10)) {
            case 1:
                p += '*';
                s += Pick(2) ? atomS + atomS : "";
                break;
            case 2:
                p += '+';
                s += atomS;
                break;
            case 3:
                p += '?';
                s += Pick(2) ? atomS : "";
                break;
            case 4:
                p += "{2}";
                s += atomS + atomS;
                break;
            case 5:
                p += Pick(2) ? "{1,2}" : "{,2}";
                s += atomS;
                break;
            default:
                s += atomS;
            }
        }
    }

    void Atom(int depth, std::string& p, std::string& s) {
        static const char* const kLiterals = "abcdxABCDX019 _-";
        const char lit = kLiterals[Pick(16)];
        switch (Pick(depth < 3 ? 12 : 10)) {
        case 0:
        case 1:
        case 2:
            p = std::string(1, lit);
            s = std::string(1, Pick(3) ? lit : static_cast<char>(lit ^ 0x20));
            break;
        case 3: {
            static const char* const kEscaped[] = {"\\.", "\\|", "\\(", "\\*", "\\["};
            p = kEscaped[Pick(5)];
            s = p.substr(1);
            break;
        }
        case 4:
            p = s = Pick(2) ? "\xC3\xA9" : "\xC3\x89";
            break;
        case 5:
            p = ".";
            s = Pick(2) ? "z" : "\xC3\xA9";
            break;
        case 6: {
            static const char* const kBrackets[] = {"[a]",    "[aB]",        "[b-]",        "[^a]",
                                                    "[a-c]",  "[[:digit:]]", "[\xC3\xA9x]", "[]a]",
                                                    "[cCdD]", "[.|]"};
            static const char* const kMembers[] = {"a", "B",        "-", "z", "b",
                                                   "7", "\xC3\xA9", "]", "d", "|"};
            const int k = Pick(10);
            p = kBrackets[k];
            s = kMembers[k];
            break;
        }
        case 7: {
            static const char* const kOperators[] = {"\\w", "\\b", "\\s", "\\<", "\\W"};
            static const char* const kTexts[] = {"q", "", " ", "", "."};
            const int k = Pick(5);
            p = kOperators[k];
            s = kTexts[k];
            break;
        }
        case 8:
            p = Pick(2) ? "^" : "$";
            s.clear();
            break;
        case 9:
            p = "()";
            s.clear();
            break;
        default:
            p = "(";
            s.clear();
            Alternation(depth + 1, p, s);
            p += ")";
        }
    }

    std::mt19937 rng_;
};

// Matches answers as the expression does, the long way, for every name; a
// name it matches passes the quick tests as stored bytes too, and holds the
// text the name search looks for first.
void CheckFastPaths(uint32_t seed, int patterns) {
    TExpressionMaker maker(seed);
    std::string pattern, sample;
    int matched = 0, names = 0;
    for (int k = 0; k < patterns; ++k) {
        maker.Make(pattern, sample);
        for (bool matchCase : {false, true}) {
            std::unique_ptr<TNamePattern> p;
            try {
                p = std::make_unique<TNamePattern>(TNamePattern::TKind::Regex, pattern, matchCase);
            } catch (const std::invalid_argument&) {
                continue;
            }
            const TFoldedFinder required(p->RequiredText(), matchCase);
            for (int n = 0; n < 12; ++n) {
                const std::string name = n == 0 ? sample : maker.Name(sample);
                ++names;
                const bool full = p->PatternMatches(name);
                if (full) ++matched;
                ASSERT_EQ(p->Matches(name), full) << pattern << " / " << name << " " << matchCase;
                if (full) {
                    ASSERT_TRUE(required.FoundIn(name)) << pattern << " / " << name;
                }
                // The name as stored in a catalog of an 8-bit code page:
                // its stored bytes pass whenever the decoded name matches.
                if (nametext::IsValidUtf8(name)) continue;
                const std::string decoded = nametext::Cp1252ToUtf8(name);
                if (p->PatternMatches(decoded)) {
                    ASSERT_TRUE(p->MayMatch(name)) << pattern << " / " << name;
                }
            }
        }
    }
    // Enough matches that the comparison means something.
    EXPECT_GT(matched, names / 8) << matched << " of " << names;
}

TEST(RegexNeeds, FastPathsAnswerAsTheExpressionUnderUtf8) {
    TScopedLocale utf8(LC_ALL, "C.UTF-8");
    ASSERT_TRUE(utf8.Ok);
    CheckFastPaths(1, 1500);
}

TEST(RegexNeeds, FastPathsAnswerAsTheExpressionByteByByte) {
    TScopedLocale bytes(LC_ALL, "C");
    CheckFastPaths(2, 1500);
}

// An expression whose states would grow without end: past the matcher's
// limit the library answers, and the answers stay the same.
TEST(ByteMatcher, PastItsStatesTheLibraryAnswers) {
    const char* const pattern = "(a|b)*a(a|b){12}x";
    TByteMatcher m;
    ASSERT_TRUE(m.Compile(pattern));
    const TNamePattern p(TNamePattern::TKind::Regex, pattern, true);
    std::mt19937 rng(3);
    int left = 0, found = 0;
    for (int k = 0; k < 300; ++k) {
        std::string name;
        for (int n = 0; n < 40; ++n)
            name += "ab"[rng() % 2];
        if (k % 2) name += 'x';
        const int r = m.Search(name);
        left += r < 0;
        found += r == 1;
        if (r >= 0) {
            EXPECT_EQ(r == 1, p.PatternMatches(name)) << name;
        }
        EXPECT_EQ(p.Matches(name), p.PatternMatches(name)) << name;
    }
    EXPECT_GT(left, 0);
    EXPECT_GT(found, 0);
    // Nothing it does not follow is compiled.
    for (const char* other : {"a\\bc", "a**", "x{200}", "[[=a=]]", "caf\xC3\xA9", "(a"})
        EXPECT_FALSE(m.Compile(other)) << other;
}

} // namespace
