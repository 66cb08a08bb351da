#include "catalog/catalog_file.h"
#include "search/search_engine.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

struct TagSearch : ::testing::Test {
    TLibObj lib;
    TTreeNode *cd = nullptr, *two = nullptr;
    TNullProgress progress;
    TSearchEngine engine{lib, progress};
    TSearchResults results{lib};

    TLibFolderItem* Tagged(TTreeNode* in, const std::string& name, const std::string& tags,
                           int64_t size = 10) {
        TLibFolderItem* e = TCatalogBuilder(lib).File(in, name, size, Day("2020-01-01"));
        e->TagInfo.SetText(tags);
        return e;
    }

    void SetUp() override {
        TCatalogBuilder b(lib);
        cd = b.Volume("CD");
        Tagged(cd, "a.mkv", "Title=A\r\nDurationSec=59.5\r\n");
        Tagged(cd, "b.mkv", "DurationSec=60\r\n");
        Tagged(cd, "c.mp3", "durationsec=120\r\nArtist=C\r\n");
        Tagged(cd, "d.wav", "DurationSec=215,379591836735\r\n"); // a decimal comma
        Tagged(cd, "e.avi", "DurationSec=long\r\n");
        Tagged(cd, "f.jpg", "DateTaken=2024-05-01T10:00:00\r\n");
        Tagged(cd, "g.jpg", "DateTaken=2024:05:02 23:59:59\r\n"); // the EXIF form
        Tagged(cd, "h.jpg", "DateTaken=2024-05-03\r\n");
        Tagged(cd, "i.jpg", "DateTaken=2023-12-31T23:59:59\r\n");
        Tagged(cd, "j.jpg", "DateTaken=yesterday\r\nDurationSec=1\r\n");
        Tagged(cd, "k.txt", "");
        b.Folder(cd, "sub");
        lib.Recount();
    }

    Names Run(const TSearchCriteria& c) {
        engine.Run(c, results);
        Names out;
        for (const auto& r : results.Visible())
            out.push_back(r.Entry->Caption.str());
        return out;
    }
};

} // namespace

TEST_F(TagSearch, DurationRangesAreInclusiveAndSkipEntriesWithoutAReadableValue) {
    TSearchCriteria c;
    const Names all = Run(c);
    c.DurationUse = true;
    c.DurationMin = 60;
    c.DurationMax = 120;
    EXPECT_EQ(Run(c), (Names{"b.mkv", "c.mp3"}));
    c.DurationMax.reset();
    EXPECT_EQ(Run(c), (Names{"b.mkv", "c.mp3", "d.wav"}));
    c.DurationMin.reset();
    c.DurationMax = 59.5;
    EXPECT_EQ(Run(c), (Names{"a.mkv", "j.jpg"}));
    c.DurationMax.reset(); // both open: every entry that has a duration at all
    EXPECT_EQ(Run(c), (Names{"a.mkv", "b.mkv", "c.mp3", "d.wav", "j.jpg"}));
    // Switched off, the bounds change nothing: same rows in the same order.
    c.DurationUse = false;
    c.DurationMin = 1000;
    EXPECT_EQ(Run(c), all);
}

TEST_F(TagSearch, DateTakenRangesGoByTheDay) {
    TSearchCriteria c;
    c.TakenUse = true;
    c.TakenFrom = "2024-05-01";
    c.TakenTo = "2024-05-02";
    EXPECT_EQ(Run(c), (Names{"f.jpg", "g.jpg"}));
    c.TakenTo.clear();
    EXPECT_EQ(Run(c), (Names{"f.jpg", "g.jpg", "h.jpg"}));
    c.TakenFrom.clear();
    c.TakenTo = "2023-12-31";
    EXPECT_EQ(Run(c), (Names{"i.jpg"}));
    // With the other criteria, in every mode.
    c.TakenTo.clear();
    c.Name = "g.";
    EXPECT_EQ(Run(c), (Names{"g.jpg"}));
    c.Mode = TSearchMode::Anywhere;
    c.Anywhere = "jpg";
    c.DurationUse = true;
    EXPECT_TRUE(Run(c).empty()); // j.jpg has a duration but no readable date
    c.ClearGeneral();
    EXPECT_FALSE(c.TakenUse || c.DurationUse);
}

TEST_F(TagSearch, ContentDuplicatesNeedTheSameSizeAndHash) {
    const std::string h1 = "DurationSec=3\r\nXXH128=6bba86c7e069f56d5a10b435f1c8e49c\r\n";
    const std::string h2 = "XXH128=99AA06D3014798D86001C324468D497F\r\n";
    two = TCatalogBuilder(lib).Volume("Two");
    Tagged(cd, "x1", h1, 6);
    Tagged(two, "x2", h1, 6);
    Tagged(two, "x3", "Artist=Z\r\n" + h1, 6);
    Tagged(two, "x4", h1, 7); // same hash, other size
    Tagged(cd, "y1", h2, 4);
    Tagged(two, "y2", "xxh128=99aa06d3014798d86001c324468d497f", 4);
    // Empty files are all alike and waste nothing: left out, and counted.
    Tagged(cd, "e1", h2, 0);
    Tagged(two, "e2", h2, 0);
    Tagged(two, "z1", "XXH128=6bba86c7e069f56d5a10b435f1c8e49", 6); // cut short
    lib.Recount();
    TSearchCriteria c;
    c.Duplicates = true;
    c.DupMode = TDupMode::Content;
    EXPECT_EQ(Run(c), (Names{"x1", "x2", "x3", "y1", "y2"}));
    for (const auto& r : results.DupRows)
        EXPECT_EQ(r.Duplicates, r.Entry->Caption.str()[0] == 'x' ? 3 : 2);
    // The eleven files of the fixture and z1 have no (readable) hash; folders
    // have no contents to compare and are not counted.
    EXPECT_EQ(results.Unhashed, 12);
    EXPECT_EQ(results.UnhashedText(), "Without checksum: 12");
    EXPECT_EQ(results.EmptyText(), "Empty files left out: 2");
    EXPECT_EQ(results.DupStats.Files, 5);
    EXPECT_EQ(results.DupStats.Volumes, 4); // CD, Two, CD, Two: changes between rows

    c.DupMode = TDupMode::Names;
    EXPECT_TRUE(Run(c).empty());
    EXPECT_EQ(results.UnhashedText(), "");
}

TEST_F(TagSearch, TheCommandLineTakesTheRanges) {
    TTempFolder tmp;
    const std::string file = tmp.File("c.tbx");
    SaveToFile(lib, file, progress);
    auto names = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", tmp.File("s.ini"), "search", file});
        TProgramRun r = RunProgram(args);
        Names out;
        std::istringstream in(r.Out);
        for (std::string line; std::getline(in, line);)
            if (line.find('\t') != std::string::npos && line.rfind("Volumes:", 0) != 0)
                out.push_back(line.substr(0, line.find('\t')));
        if (r.ExitCode != 0) out.push_back("exit " + std::to_string(r.ExitCode) + ": " + r.Err);
        return out;
    };
    EXPECT_EQ(names({"--duration", "60..120"}), (Names{"b.mkv", "c.mp3"}));
    EXPECT_EQ(names({"--duration", "100.5.."}), (Names{"c.mp3", "d.wav"}));
    EXPECT_EQ(names({"--duration", "..1"}), (Names{"j.jpg"}));
    EXPECT_EQ(names({"--taken", "2024-05-02"}), (Names{"g.jpg"}));
    EXPECT_EQ(names({"--taken", "2024-05-01..2024-05-03", "--name", "h"}), (Names{"h.jpg"}));
    for (const char* bad : {"..", "x..", "-1..", "1..2..3"})
        EXPECT_EQ(names({"--duration", bad}).size(), 1u) << bad;
    for (const char* bad : {"2024-13-01", "..", "2024-05-01..soon"})
        EXPECT_EQ(names({"--taken", bad}).size(), 1u) << bad;
}
