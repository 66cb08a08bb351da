#include "catalog/catalog_file.h"
#include "catalog/lib_file.h"
#include "search/search_engine.h"
#include "search/stream_search.h"
#include "stream_criteria.h"
#include "support/recording_progress.h"
#include "support/run_program.h"
#include "support/search_outcome.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

// A search streamed from the file must print what loading the catalog and
// searching the tree prints, or give up so that the load runs instead.

namespace {

struct TOutcome : TSearchOutcome {
    bool Done = false; // the stream gave an answer; for the load: it loaded
};
using TSort = TSearchSort;

TCellFormat Format(int unit = 0, std::string newLine = ";") {
    TCellFormat f;
    f.SizeUnit = unit;
    f.NewLine = std::move(newLine);
    return f;
}

TOutcome Loaded(const std::string& path, const TSearchCriteria& c, const TCellFormat& fmt,
                TSort sort = {}) {
    TOutcome o;
    TLibObj lib;
    TNullProgress progress;
    try {
        LoadFromFile(lib, path, false, progress);
    } catch (const EMessageError&) {
        return o;
    }
    o.Done = true;
    static_cast<TSearchOutcome&>(o) = TreeOutcome(lib, c, fmt, sort);
    return o;
}

TOutcome Streamed(const std::string& path, const TSearchCriteria& c, const TCellFormat& fmt,
                  TSort sort = {}) {
    TOutcome o;
    o.Done = StreamOutcome(path, c, fmt, o, sort);
    return o;
}

// The stream answers, and with the load's rows, cells and counts.
void ExpectSame(const std::string& path, const TSearchCriteria& c, const std::string& what,
                const TCellFormat& fmt = Format(), TSort sort = {}) {
    SCOPED_TRACE(what);
    TOutcome full = Loaded(path, c, fmt, sort);
    ASSERT_TRUE(full.Done);
    TOutcome fast = Streamed(path, c, fmt, sort);
    ASSERT_TRUE(fast.Done);
    EXPECT_EQ(fast.Rows, full.Rows);
    EXPECT_EQ(fast.Status, full.Status);
}

bool GivesUp(const std::string& path, const TSearchCriteria& c = {}) {
    return !Streamed(path, c, Format()).Done;
}

// ---- catalogs written field by field ----

struct TEntrySpec {
    TEntrySpec(std::string caption, int64_t size = 1, double date = 43000.5,
               std::string category = {}, std::string comments = {}, uint8_t folder = 0,
               std::string tags = {})
        : Caption(std::move(caption)), Size(size), Date(date), Category(std::move(category)),
          Comments(std::move(comments)), Folder(folder), Tags(std::move(tags)) {}
    std::string Caption;
    int64_t Size;
    double Date;
    std::string Category, Comments;
    uint8_t Folder;
    std::string Tags;
};

struct TFolderSpec {
    TFolderSpec(std::string caption, int32_t level, int32_t kind, std::vector<TEntrySpec> entries,
                std::string category = {}, std::string comments = {}, std::string location = {})
        : Caption(std::move(caption)), Level(level), Kind(kind), Entries(std::move(entries)),
          Category(std::move(category)), Comments(std::move(comments)),
          Location(std::move(location)) {}
    std::string Caption;
    int32_t Level;
    int32_t Kind;
    std::vector<TEntrySpec> Entries;
    std::string Category, Comments, Location;
};

struct TLinkSpec {
    int32_t Kind;
    int32_t FolderIndex;
    std::string LinkPath;
};

void WriteCatalog(const std::string& path, const std::vector<TFolderSpec>& folders,
                  const std::vector<TLinkSpec>& links = {},
                  const std::string& version = kCurrentVersion) {
    TLibFileWriter out(path);
    out.WriteString(version);
    out.WriteString("");
    out.WriteInt32(static_cast<int32_t>(folders.size()));
    out.WriteInt32(static_cast<int32_t>(links.size()));
    out.WriteString("");
    out.WriteInt32(1);
    int32_t position = 0;
    for (const auto& f : folders) {
        out.WriteString(f.Caption);
        out.WriteDouble(43000);
        out.WriteString(f.Category);
        out.WriteString(f.Comments);
        out.WriteString(f.Location);
        out.WriteInt32(f.Level);
        out.WriteInt32(f.Kind);
        out.WriteInt32(static_cast<int32_t>(f.Entries.size()));
        out.WriteInt32(position++);
        out.WriteString("");
        out.WriteString("/src");
        for (const auto& e : f.Entries) {
            out.WriteString(e.Caption);
            out.WriteDouble(e.Date);
            out.WriteInt64(e.Size);
            out.WriteString(e.Category);
            out.WriteString(e.Comments);
            out.WriteByte(e.Folder);
            if (version != kOldVersion) out.WriteString(e.Tags);
        }
    }
    for (const auto& l : links) {
        out.WriteString("link");
        out.WriteInt32(l.Kind);
        out.WriteInt32(0);
        out.WriteString("");
        out.WriteString("");
        out.WriteInt32(l.FolderIndex);
        out.WriteString(l.LinkPath);
        out.WriteInt32(-1);
    }
    out.WriteString("Music");
    out.Commit();
}

// Two volumes, a folder below each, texts the entries fall back to.
std::vector<TFolderSpec> Sound() {
    return {
        {"CD1",
         0,
         0,
         {{"A.txt", 10, 43000.25},
          {"a.txt", 2048, 43001.75, "", "own\r\nlines"},
          {"docs", 0, 43002, "", "", 1},
          {"Song.MP3", 3000000, 43003, "Music", "", 0, "DurationSec=215.5\r\n"}},
         "Discs",
         "first box",
         "Shelf A"},
        {"docs", 1, 1, {{"b.TXT", 5}, {"c.pdf", 7, 43010, "Papers"}}, "Work", "old papers"},
        {"CD2", 0, 0, {{"x.txt", 1}}, "", "", "Box"},
    };
}

class StreamSearchFile : public ::testing::Test {
protected:
    TTempFolder tmp;
    std::string path = tmp.File("c.txc");
};

TEST_F(StreamSearchFile, GivesTheLoadsRowsForEveryCriterion) {
    WriteCatalog(path, Sound());
    for (const auto& [what, c] : StreamCriteria(43001, 43003))
        ExpectSame(path, c, what);
    ExpectSame(path, {}, "KB and a joiner", Format(1, " / "));
    ExpectSame(path, {}, "MB", Format(2));
}

// Sizes a damaged catalog may hold sum to the end of the range, never to a
// wrapped, wrong total; the load and the stream agree on it.
TEST_F(StreamSearchFile, HugeSizesStopTheTotalAtItsEnds) {
    const int64_t big = INT64_MAX - 5;
    const std::vector<std::pair<std::vector<int64_t>, int64_t>> cases = {
        {{big, big}, INT64_MAX}, {{big, 10, 1}, INT64_MAX}, {{big, 5}, INT64_MAX}};
    for (const auto& [sizes, total] : cases) {
        std::vector<TEntrySpec> entries;
        for (size_t i = 0; i < sizes.size(); ++i)
            entries.emplace_back("f" + std::to_string(i), sizes[i]);
        WriteCatalog(path, {{"CD", 0, 0, entries}});
        // The stream may leave such a file to the load; where it answers, it agrees.
        TOutcome full = Loaded(path, {}, Format());
        ASSERT_TRUE(full.Done);
        TOutcome fast = Streamed(path, {}, Format());
        if (fast.Done) {
            EXPECT_EQ(fast.Status, full.Status);
        }
        TSearchStats stats;
        for (int64_t size : sizes)
            stats.AddSize(size);
        EXPECT_EQ(stats.Size, total);
    }
}

TEST(SearchStats, SizesSumToTheEndsOfTheRangeAndBack) {
    TSearchStats s;
    s.AddSize(-(INT64_MAX - 5));
    s.AddSize(-(INT64_MAX - 5));
    EXPECT_EQ(s.Size, INT64_MIN);
    s.AddSize(7);
    EXPECT_EQ(s.Size, INT64_MIN + 7);
    s.AddSize(INT64_MAX);
    EXPECT_EQ(s.Size, 6);
}

TEST_F(StreamSearchFile, SortsEveryColumnBothWaysAsTheEngineDoes) {
    // Equal keys (a size, a volume, an empty category) must keep the catalog order.
    auto f = Sound();
    f[1].Entries.push_back(TEntrySpec("d.txt", 10, 43000.25, "Music"));
    WriteCatalog(path, f);
    for (int col = 0; col < kSearchColumnCount; ++col)
        for (bool desc : {false, true})
            ExpectSame(path, {}, std::string(kSearchColumnNames[col]) + (desc ? " desc" : ""),
                       Format(), {col, desc});
}

TEST_F(StreamSearchFile, ReadsTextTheWayTheLoadDecodesIt) {
    // Windows-1252 bytes become UTF-8, a zero byte ends the text; names that
    // differ only in case sort by their bytes.
    auto f = Sound();
    f[0].Entries.insert(f[0].Entries.begin() + 3, TEntrySpec("r\xe9sum\xe9.doc", 4));
    f[0].Entries.push_back(TEntrySpec(std::string("zed\0tail", 8), 4));
    f[1].Caption = f[0].Entries[2].Caption = "docs \xe9";
    WriteCatalog(path, f);
    TSearchCriteria c;
    ExpectSame(path, c, "all");
    c.Name = "\xc3\xa9";
    ExpectSame(path, c, "accented");
    c.Name = "tail";
    ExpectSame(path, c, "after a zero byte");
    c.Name = "SUM";
    ExpectSame(path, c, "plain letters between Windows-1252 ones");
    c.Name = "\xc3\xa9sum\xc3\xa9";
    ExpectSame(path, c, "what only the decoded name holds");
}

TEST_F(StreamSearchFile, OrdersNamesAsTheLoadDoes) {
    // Pairs of names in a folder, in file order, and whether the load keeps
    // both in that order: folding, case, prefixes, bytes decoding changes.
    struct TPair {
        std::string First, Second;
        bool InOrder;
    };
    const std::string stem = "holiday 2024 summer "; // longer than a block of eight
    const TPair pairs[] = {
        {"a.txt", "B.txt", true},
        {"B.txt", "a.txt", false},
        {"A", "a", true}, // equal folded: the bytes decide
        {"a", "A", false},
        {"a", "_a", true}, // '_' folds above 'A'
        {"_a", "a", false},
        {"abc", "abcd", true},
        {"abcd", "abc", false},
        {stem + "1", stem + "2", true},
        {stem + "2", stem + "1", false},
        {stem + "x", stem + "\xe9", true},
        {stem + "\xe9", stem + "x", false},
        {"ab", std::string("ab\0z", 4), false}, // the same once cut
        {std::string("ab\0z", 4), "abc", true}, // "ab" before "abc"
        {"x\xe9", "x\xc3\xa9", false},          // the same once decoded
        {"x\xc3\xa9", "x\xc3\xa9" + std::string(1, '\0'), false},
        {stem + "\xc3\xa9",
         stem + "\xc3\xa9"
                "a",
         true},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.First + " | " + p.Second);
        WriteCatalog(path, {{"CD1", 0, 0, {{p.First, 1}, {p.Second, 2}}}});
        if (p.InOrder)
            ExpectSame(path, {}, "in order");
        else
            EXPECT_TRUE(GivesUp(path));
    }
}

TEST_F(StreamSearchFile, OrdersRandomNamesAsTheLoadDoes) {
    // Names made of the bytes where stored and decoded order can part: case,
    // marks that fold above letters, zero bytes, UTF-8 letters, Windows-1252
    // bytes and halves of UTF-8 sequences, often after a long shared start.
    const std::string pieces[] = {"a",
                                  "A",
                                  "b",
                                  "_",
                                  "~",
                                  "1",
                                  {"\0", 1},
                                  "\xc3\xa9",
                                  "\xe9",
                                  "\xc3",
                                  "\xa9",
                                  "\x80",
                                  "\xe2\x82\xac",
                                  "holiday 2024 "};
    std::mt19937 rng(20261210);
    auto pick = [&] { return pieces[rng() % std::size(pieces)]; };
    auto name = [&] {
        std::string s;
        for (int n = static_cast<int>(rng() % 5); n >= 0; --n)
            s += pick();
        return s;
    };
    auto hex = [](const std::string& s) {
        std::string out;
        for (unsigned char c : s)
            out += c >= 0x20 && c < 0x7f ? std::string(1, static_cast<char>(c))
                                         : "\\x" + std::to_string(c);
        return out;
    };
    int kept = 0, partly = 0;
    for (int round = 0; round < 400; ++round) {
        // Three names, each often the one before with more after it, all
        // often after one shared start.
        std::vector<std::string> names{name()};
        for (int k = 1; k < 3; ++k)
            names.push_back(rng() % 3 ? name() : names.back() + pick());
        if (rng() % 2) {
            const std::string stem = name() + name();
            for (std::string& n : names)
                n.insert(0, stem);
        }
        SCOPED_TRACE(hex(names[0]) + " | " + hex(names[1]) + " | " + hex(names[2]));
        WriteCatalog(path, {{"CD1", 0, 0, {{names[0], 1}, {names[1], 2}, {names[2], 3}}}});
        const TOutcome full = Loaded(path, {}, Format());
        ASSERT_TRUE(full.Done);
        const TOutcome fast = Streamed(path, {}, Format());
        // Kept as written: the stream must answer, and with the same rows.
        const bool inOrder = full.Rows.size() == 3 &&
                             full.Rows[0][kColSize] < full.Rows[1][kColSize] &&
                             full.Rows[1][kColSize] < full.Rows[2][kColSize];
        kept += inOrder;
        EXPECT_EQ(fast.Done, inOrder);
        if (fast.Done) {
            EXPECT_EQ(fast.Rows, full.Rows);
        }
        // Where some entries are rows (by a piece of the name, or all but the
        // first by size, which a name the load drops with the first must
        // not bring back), the stream may answer for a folder out of order
        // only with the load's rows; in order, it always answers.
        TSearchCriteria byName, bySize;
        byName.Name = pick();
        bySize.SizeUse = true;
        bySize.SizeSign = kSignGreater;
        bySize.SizeValue = 1;
        for (const TSearchCriteria& some : {byName, bySize}) {
            const TOutcome fullSome = Loaded(path, some, Format());
            const TOutcome fastSome = Streamed(path, some, Format());
            EXPECT_TRUE(fastSome.Done || !inOrder);
            if (fastSome.Done) {
                EXPECT_EQ(fastSome.Rows, fullSome.Rows) << hex(some.Name);
            }
            partly += fastSome.Done && !inOrder;
        }
    }
    EXPECT_GT(partly, 20);
    // Both outcomes were tried often.
    EXPECT_GT(kept, 40);
    EXPECT_LT(kept, 360);
}

// A folder far larger than the stream's buffer: records cross its edge at
// every offset, and one record is longer than the buffer.
std::vector<TFolderSpec> Large() {
    std::vector<TEntrySpec> entries;
    for (int k = 0; k < 9000; ++k) {
        std::string name = "entry " + std::to_string(100000 + k) + " " + std::string(k % 41, 'n');
        if (k % 97 == 0) name += "\xe9"; // decoded on the way
        entries.emplace_back(name, k, 43000 + k % 50, k % 13 ? "" : "Cat",
                             k % 7 ? "" : std::string(k % 300, 'c'));
    }
    const std::string most(kMaxStringLength, 'z');
    entries.emplace_back(most, 5, 43001, most, most);
    entries.emplace_back("zzzz~ after", 6); // "~" folds above "Z"
    return {{"CD1", 0, 0, entries}, {"CD2", 0, 0, {{"entry 1", 1}}}};
}

TEST_F(StreamSearchFile, ReadsRecordsAcrossTheBufferEdge) {
    WriteCatalog(path, Large());
    const std::string good = ReadFile(path);
    ASSERT_GT(good.size(), size_t{600000});
    TSearchCriteria c;
    ExpectSame(path, c, "everything");
    for (const char* name : {"entry 1000", "1007", "NNNNNNNNNNNNNNNNNNNN", "\xc3\xa9", "zzzz"}) {
        c.Name = name;
        ExpectSame(path, c, name);
    }
    // Cut anywhere, and at both sides of where the long record starts and ends.
    std::vector<size_t> cuts;
    for (size_t n = 1; n < good.size(); n += 16411)
        cuts.push_back(n);
    const size_t longAt = good.find(std::string(100, 'z'));
    ASSERT_NE(longAt, std::string::npos);
    for (size_t n : {longAt - 4, longAt, longAt + 70000, longAt + 3 * 65540, good.size() - 1})
        cuts.push_back(n);
    c.Name = "entry";
    for (size_t n : cuts) {
        ASSERT_TRUE(WriteFile(path, good.substr(0, n)));
        ASSERT_TRUE(GivesUp(path, c)) << "cut at " << n;
    }
    // A length past the format's limit inside the long record is damage, not a refill.
    std::string bad = good;
    const int32_t tooLong = kMaxStringLength + 1;
    std::memcpy(&bad[longAt + kMaxStringLength + 16], &tooLong, 4); // the category's length
    ASSERT_TRUE(WriteFile(path, bad));
    EXPECT_TRUE(GivesUp(path, c));
    EXPECT_FALSE(Loaded(path, c, Format()).Done);
}

// The order of a folder matters only where it holds a row: one out of order
// without rows is still answered, and rows anywhere in it make it give up,
// whether the entries before the row are still in the buffer or long gone.
TEST_F(StreamSearchFile, ProvesTheOrderOfFoldersWithRows) {
    auto f = Large();
    std::swap(f[0].Entries[10], f[0].Entries[11]);
    f[1].Entries.emplace_back("other", 2);
    WriteCatalog(path, f);
    TSearchCriteria c;
    c.Name = "other";
    ExpectSame(path, c, "rows only in a folder in order");
    for (const char* name : {"entry 108500", "entry 100011", "entry 100010", "entry 100000 "}) {
        c.Name = name;
        EXPECT_TRUE(GivesUp(path, c)) << name;
        EXPECT_TRUE(Loaded(path, c, Format()).Done) << name;
    }
    // In order again, a row far into the folder is answered.
    std::swap(f[0].Entries[10], f[0].Entries[11]);
    WriteCatalog(path, f);
    c.Name = "entry 108500";
    ExpectSame(path, c, "a row far into a folder in order");
}

TEST_F(StreamSearchFile, ReadsTheOlderVersionWithoutTags) {
    WriteCatalog(path, Sound(), {}, kOldVersion);
    for (const auto& [what, c] : StreamCriteria(43001, 43003))
        ExpectSame(path, c, what);
}

TEST_F(StreamSearchFile, FollowsTheLevelRuleOfTheLoad) {
    // A volume record's level is not looked at; a folder of level 0 starts a root.
    auto f = Sound();
    f[0].Level = 4;
    f.push_back({"CD3", 0, 1, {{"y", 1}}});
    f.push_back({"sub", 1, 1, {{"z", 1}}});
    WriteCatalog(path, f);
    ExpectSame(path, {}, "odd levels");

    f.push_back({"deeper", 3, 1, {}}); // two levels below the one before
    WriteCatalog(path, f);
    EXPECT_TRUE(GivesUp(path));
    EXPECT_FALSE(Loaded(path, {}, Format()).Done);
}

TEST_F(StreamSearchFile, GivesUpWhereTheLoadWouldReorderOrDropEntries) {
    struct TCase {
        const char* what;
        void (*change)(std::vector<TFolderSpec>&);
    };
    const TCase cases[] = {
        {"entries out of order", [](auto& f) { std::swap(f[0].Entries[0], f[0].Entries[3]); }},
        {"a repeated name", [](auto& f) { f[1].Entries[1].Caption = f[1].Entries[0].Caption; }},
        {"volumes out of order", [](auto& f) { f[2].Caption = "CC"; }},
        {"a repeated volume", [](auto& f) { f[2].Caption = "CD1"; }},
        {"sibling folders out of order",
         [](auto& f) {
             f.insert(f.begin() + 2, {"apps", 1, 1, {}});
         }},
        {"a repeated folder",
         [](auto& f) {
             f.insert(f.begin() + 2, {"docs", 1, 1, {}});
         }},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        auto f = Sound();
        tc.change(f);
        WriteCatalog(path, f);
        EXPECT_TRUE(GivesUp(path));
        EXPECT_TRUE(Loaded(path, {}, Format()).Done); // the load copes: it sorts
    }
    // A folder after a deeper one is still a sibling in order.
    auto f = Sound();
    f.insert(f.begin() + 2, {"inner", 2, 1, {{"i", 1}}});
    f.insert(f.begin() + 3, {"more", 1, 1, {{"m", 1}}});
    WriteCatalog(path, f);
    ExpectSame(path, {}, "siblings around a deeper folder");
}

TEST_F(StreamSearchFile, GivesUpOnUnknownVersionsAndMissingFiles) {
    WriteCatalog(path, Sound(), {}, "Tamblix 9.9");
    EXPECT_TRUE(GivesUp(path));
    EXPECT_TRUE(GivesUp(tmp.File("missing.txc")));
    EXPECT_TRUE(GivesUp(tmp.Write("empty.txc", "")));
    EXPECT_TRUE(GivesUp(tmp.Path()));
    // A folder given for the catalog leaves no file open behind.
    auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    for (int i = 0; i < 20; ++i)
        GivesUp(tmp.Path());
    EXPECT_EQ(openFiles(), before);
}

TEST_F(StreamSearchFile, CountsRowsOfLinkedVolumesAndLeavesEntryLinksToTheLoad) {
    // A volume link and a folder link (which shows on no row); a link to a
    // folder that is not there is dropped by the load too.
    WriteCatalog(path, Sound(),
                 {{TLibColItem::kVolumeLink, 2, "CD2\\"},
                  {TLibColItem::kFolderLink, 1, "CD1\\docs\\"},
                  {TLibColItem::kVolumeLink, 77, "CD9\\"},
                  {TLibColItem::kFileLink, 77, "CD9\\a"},
                  {TLibColItem::kMemo, 0, ""}});
    TSearchCriteria c;
    ExpectSame(path, c, "links");
    EXPECT_EQ(Streamed(path, c, Format()).Status[3], "Collections: 1");

    WriteCatalog(path, Sound(), {{TLibColItem::kFileLink, 0, "CD1\\a.txt"}});
    EXPECT_TRUE(GivesUp(path));
}

TEST_F(StreamSearchFile, GivesUpOnTagTextTheLoadWouldRewriteOnlyWhenTagsMatter) {
    auto f = Sound();
    f[0].Entries[3].Tags = "DurationSec=215.5\n\nArtist=x";
    WriteCatalog(path, f);
    TSearchCriteria c;
    ExpectSame(path, c, "tags unused");
    c.DurationUse = true;
    c.DurationMin = 1;
    EXPECT_TRUE(GivesUp(path, c));
}

TEST_F(StreamSearchFile, AnyDamageMakesItGiveUpAndAByteChangedNeverGivesOtherRows) {
    WriteCatalog(path, Sound(), {{TLibColItem::kVolumeLink, 0, "CD1\\"}});
    const std::string good = ReadFile(path);
    // Every cut: the load reports damage, the stream must not answer.
    for (size_t n = 0; n < good.size(); ++n) {
        ASSERT_TRUE(WriteFile(path, good.substr(0, n)));
        ASSERT_TRUE(GivesUp(path)) << "cut at " << n;
    }
    // Every byte changed: either the stream gives up or it agrees with the load.
    TSearchCriteria c;
    c.Name = "t";
    for (size_t i = 0; i < good.size(); ++i) {
        for (unsigned char b : {0x00, 0x01, 0x7f, 0xff}) {
            std::string bad = good;
            if (static_cast<unsigned char>(bad[i]) == b) continue;
            bad[i] = static_cast<char>(b);
            ASSERT_TRUE(WriteFile(path, bad));
            TOutcome fast = Streamed(path, c, Format());
            if (!fast.Done) continue;
            TOutcome full = Loaded(path, c, Format());
            ASSERT_TRUE(full.Done) << "byte " << i << " = " << int(b);
            ASSERT_EQ(fast.Rows, full.Rows) << "byte " << i << " = " << int(b);
            ASSERT_EQ(fast.Status, full.Status) << "byte " << i << " = " << int(b);
        }
    }
}

} // namespace
