#include "search/entry_matcher.h"
#include "search/folded_finder.h"
#include "search/search_engine.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

// The plain test the finder must agree with: fold both texts whole, then look.
bool Reference(std::string_view text, std::string_view criterion, bool matchCase) {
    return FoldText(text, matchCase).find(FoldText(criterion, matchCase)) != std::string::npos;
}

// Bytes that trip a test made with `| 0x20`: the letters of both cases, their
// neighbours ('@' '`' '[' '{' and the like) and bytes of UTF-8 texts.
const std::string kAlphabet = "aAbBzZyY@`[{]}^~_\x7f\xc3\xa9\xe1\xc1\x80\xff 0.";

std::string RandomText(std::mt19937& rng, size_t n) {
    std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
    std::string s(n, ' ');
    for (char& c : s)
        c = kAlphabet[pick(rng)];
    return s;
}

// Flips the case of some letters: the folded test must not care.
std::string MixCase(std::mt19937& rng, std::string s) {
    for (char& c : s)
        if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && rng() % 2) c ^= 0x20;
    return s;
}

void Expect(const TFoldedFinder& f, std::string_view text, std::string_view criterion,
            bool matchCase) {
    const bool want = Reference(text, criterion, matchCase);
    // Find gives the first place, which the name search maps back to a name.
    const size_t at = FoldText(text, matchCase).find(FoldText(criterion, matchCase));
    EXPECT_EQ(f.Find(text), at) << "criterion '" << criterion << "' in '" << text << "'";
    EXPECT_EQ(f.FindPortable(text), at) << "criterion '" << criterion << "' in '" << text << "'";
    EXPECT_EQ(f.FoundIn(text), want)
        << "criterion '" << criterion << "' in '" << text << "' matchCase " << matchCase;
    EXPECT_EQ(f.FoundInPortable(text), want)
        << "criterion '" << criterion << "' in '" << text << "' matchCase " << matchCase;
    // In a buffer whose spare bytes after the text would complete the criterion.
    const std::string spare =
        std::string(text) + std::string(criterion) + std::string(TFoldedFinder::kSpare, 'a');
    EXPECT_EQ(f.FoundInSpare(std::string_view(spare).substr(0, text.size())), want)
        << "criterion '" << criterion << "' in '" << text << "' matchCase " << matchCase;
}

TEST(FoldedFinderTest, AgreesWithFoldingWholeTextsOverRandomNames) {
    std::mt19937 rng(20240501);
    for (int round = 0; round < 20000; ++round) {
        const bool matchCase = round % 3 == 0;
        const size_t n = rng() % 80; // shorter and longer than a 16-byte block
        const std::string text = RandomText(rng, n);
        std::string criterion;
        if (n > 0 && round % 2) {
            // A piece of the text, so that most of these are found.
            size_t from = rng() % n;
            size_t len = 1 + rng() % std::min<size_t>(n - from, 24);
            criterion = MixCase(rng, text.substr(from, len));
        } else {
            criterion = RandomText(rng, 1 + rng() % 3);
        }
        Expect(TFoldedFinder(criterion, matchCase), text, criterion, matchCase);
    }
}

TEST(FoldedFinderTest, FindsAtEveryPositionOfShortAndLongNames) {
    for (bool matchCase : {false, true})
        for (size_t n : {1u, 2u, 3u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 100u})
            for (size_t len : {1u, 2u, 3u, 8u, 9u, 16u, 17u, 50u})
                for (size_t at = 0; at + len <= n; ++at) {
                    std::string text(n, '.');
                    std::string criterion;
                    for (size_t k = 0; k < len; ++k)
                        criterion += static_cast<char>('a' + (at + k) % 26);
                    for (size_t k = 0; k < len; ++k) // the text in the other case
                        text[at + k] = static_cast<char>(criterion[k] ^ 0x20);
                    Expect(TFoldedFinder(criterion, matchCase), text, criterion, matchCase);
                    // One byte wrong at the end misses.
                    std::string wrong = criterion;
                    wrong.back() = '!';
                    Expect(TFoldedFinder(wrong, matchCase), text, wrong, matchCase);
                }
}

TEST(FoldedFinderTest, NonLettersOnlyMatchThemselves) {
    // '@' | 0x20 is '`', '[' | 0x20 is '{': close, but no letters.
    const TFoldedFinder at("@", false), open("[", false), high("\xc3\xa9", false);
    EXPECT_FALSE(at.FoundIn("`"));
    EXPECT_TRUE(at.FoundIn("a@b"));
    EXPECT_FALSE(open.FoundIn("{"));
    EXPECT_FALSE(TFoldedFinder("{", false).FoundIn("["));
    EXPECT_FALSE(high.FoundIn("\xc3\x89")); // the capital of an accented letter stays apart
    EXPECT_TRUE(high.FoundIn("caf\xc3\xa9"));
    EXPECT_FALSE(TFoldedFinder("\xe1", false).FoundIn("\xc1"));
}

TEST(FoldedFinderTest, EmptyAndLongerCriteria) {
    const TFoldedFinder none("", false);
    EXPECT_TRUE(none.Empty());
    EXPECT_TRUE(none.FoundIn(""));
    EXPECT_TRUE(none.FoundIn("anything"));
    const TFoldedFinder longer("abcdef", false);
    EXPECT_FALSE(longer.FoundIn("ABCDE"));
    EXPECT_FALSE(longer.FoundIn(""));
    EXPECT_TRUE(longer.FoundIn("ABCDEF"));
    const TFoldedFinder exact("Song", true);
    EXPECT_FALSE(exact.FoundIn("SONG.mp3"));
    EXPECT_TRUE(exact.FoundIn("a Song.mp3"));
}

TEST(FoldedFinderTest, ReadsNoByteOutsideTheText) {
    // Texts cut from a larger buffer whose bytes next to them would match:
    // any read past the end would find them (and the sanitizer build sees
    // reads outside a heap block of exactly the text's size).
    const std::string wide = "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxNEEDLE";
    for (size_t n = 0; n <= 32; ++n) {
        std::string_view cut(wide.data(), n);
        EXPECT_FALSE(TFoldedFinder("needle", false).FoundIn(cut)) << n;
        EXPECT_FALSE(TFoldedFinder("xN", false).FoundIn(cut)) << n;
        auto* heap = new char[n ? n : 1];
        std::memcpy(heap, wide.data(), n);
        EXPECT_FALSE(TFoldedFinder("needle", false).FoundIn(std::string_view(heap, n)));
        delete[] heap;
        // The spare bytes and no more, holding what would match.
        std::string spared = std::string(n, 'x') + "NEEDLE";
        spared.resize(n + TFoldedFinder::kSpare, 'N');
        heap = new char[spared.size()];
        std::memcpy(heap, spared.data(), spared.size());
        EXPECT_FALSE(TFoldedFinder("needle", false).FoundInSpare(std::string_view(heap, n)));
        EXPECT_FALSE(TFoldedFinder("xN", false).FoundInSpare(std::string_view(heap, n)));
        delete[] heap;
    }
}

TEST(EntryMatcherTest, RejectsAStoredNameOnlyWhereNoDecodingCouldMatch) {
    // A stored name with spare bytes after it, as in a file's buffer.
    auto stored = [](std::string name) { return name + std::string(TFoldedFinder::kSpare, 'M'); };
    auto mayMatch = [&](const TSearchCriteria& c, const std::string& name) {
        const std::string buf = stored(name);
        return TEntryMatcher(c).StoredNameMayMatch(std::string_view(buf).substr(0, name.size()));
    };
    TSearchCriteria c;
    c.Name = "sum";
    EXPECT_TRUE(mayMatch(c, "R\xe9SUM\xe9.doc")); // Windows-1252 around it
    EXPECT_FALSE(mayMatch(c, "su"));              // the spare bytes do not count
    EXPECT_FALSE(mayMatch(c, "song.mp3"));
    c.Name = "\xc3\xa9"; // decoding may make it out of other bytes: never rejected
    EXPECT_TRUE(mayMatch(c, "r\xe9sum\xe9"));
    c.Name.clear();
    EXPECT_TRUE(mayMatch(c, "any"));
    c.Mode = TSearchMode::Anywhere; // another text may match instead
    c.Anywhere = "sum";
    EXPECT_TRUE(mayMatch(c, "song.mp3"));
}

TEST(EntryMatcherTest, TestsAnEntryWithoutATree) {
    TSearchCriteria c;
    c.Name = "song";
    c.Category = "music";
    TEntryMatcher m(c);
    EXPECT_EQ(m.Needs() & (TEntryMatcher::kCaption | TEntryMatcher::kCategory),
              TEntryMatcher::kCaption | TEntryMatcher::kCategory);
    EXPECT_EQ(m.Needs() & (TEntryMatcher::kComments | TEntryMatcher::kTags), 0u);
    ASSERT_TRUE(m.EnterFolder("CD1", "Shelf", "Music", ""));
    TMatchEntry e;
    e.Caption = "My SONG.mp3";
    EXPECT_TRUE(m.Matches(e)); // the folder's category stands in for an empty one
    e.Category = "musical";
    EXPECT_FALSE(m.Matches(e));
    c.Volume = "cd2";
    EXPECT_FALSE(TEntryMatcher(c).EnterFolder("CD1", "Shelf", "", ""));
}

} // namespace
