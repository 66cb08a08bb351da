// Dates before the epoch day, saved searches as other editors leave them,
// and command-line options that must not depend on the desktop window.
#include "catalog/catalog_file.h"
#include "search/cli_runner.h"
#include "search/saved_search.h"
#include "search/search_engine.h"
#include "support/catalog_builder.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> Found(TLibObj& lib, const TSearchCriteria& c) {
    TNullProgress quiet;
    TSearchEngine engine(lib, quiet);
    TSearchResults r(lib);
    engine.Run(c, r);
    std::vector<std::string> out;
    for (const auto& row : r.Rows)
        out.push_back(row.Entry->Caption.str());
    return out;
}

TEST(SearchDateEdge, DaysBeforeTheEpochDayAreTheirFloor) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* v = b.Volume("V");
    b.File(v, "evening.txt", 1, Day("1850-06-15 18:00"));
    b.File(v, "morning.txt", 1, Day("1899-12-29 06:00"));
    b.File(v, "epoch.txt", 1, Day("1899-12-30 12:00"));
    ASSERT_LT(Day("1850-06-15 18:00"), 0);
    TSearchCriteria c;
    c.Date1Use = true;
    c.Date1 = Day("1850-06-15");
    EXPECT_EQ(Found(lib, c), (std::vector<std::string>{"evening.txt"}));
    c.Date1 = Day("1850-06-16");
    EXPECT_TRUE(Found(lib, c).empty());
    c.Date1 = Day("1899-12-29");
    EXPECT_EQ(Found(lib, c), (std::vector<std::string>{"morning.txt"}));
    c.Date1 = Day("1899-12-30");
    EXPECT_EQ(Found(lib, c), (std::vector<std::string>{"epoch.txt"}));
    c.Date2Use = true;
    c.Date1 = Day("1850-06-16");
    c.Date2 = Day("1899-12-29");
    EXPECT_EQ(Found(lib, c), (std::vector<std::string>{"morning.txt"}));
}

TEST(SavedSearches, MarkSpacesAndAnywhereModeAsEditorsLeaveThem) {
    TSearchCriteria c;
    ApplySavedSearchText("\xEF\xBB\xBF[Search]\r\nFile = photo \r\n  Type=jpg\r\n"
                         "SizeUse = 1\r\nSizeVal = 12\r\n",
                         c);
    EXPECT_EQ(c.Name, "photo");
    EXPECT_EQ(c.Type, "jpg");
    EXPECT_TRUE(c.SizeUse);
    EXPECT_EQ(c.SizeValue, 12);
    EXPECT_EQ(c.Mode, TSearchMode::Normal);
    // A UTF-16 file from Notepad, with an Anywhere text.
    TTempFolder tmp;
    std::string utf16 = "\xFF\xFE";
    for (char ch : std::string("[Search]\r\nAnywhere=rock\r\n"))
        utf16 += std::string{ch, '\0'};
    WriteFile(tmp.File("any.TXS"), utf16);
    TSearchCriteria d;
    LoadSearch(tmp.File("any.TXS"), d);
    EXPECT_EQ(d.Anywhere, "rock");
    EXPECT_EQ(d.Mode, TSearchMode::Anywhere);
}

// A catalog where an Anywhere search and a normal one differ, on disk.
class CliSearchFile : public ::testing::Test {
protected:
    void SetUp() override {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* v = b.Volume("V");
        b.File(v, "rock.mp3", 1);
        b.File(v, "jazz.mp3", 2, 0, "", "rock and roll");
        b.File(v, "tab\there", 3);
        b.File(v, "back\\tslash", 4);
        TTreeNode* d = b.Folder(v, "sub");
        b.File(d, "other.txt", 5);
        TNullProgress quiet;
        SaveToFile(lib, cat, quiet);
        run.Settings = tmp.File("s.ini");
        run.Out = tmp.File("out.txt");
    }
    std::string Cli(std::vector<std::string> args, int expected = 0) {
        run.Args = std::move(args);
        EXPECT_EQ(run.Run(), expected);
        return ReadFile(run.Out);
    }
    TTempFolder tmp;
    std::string cat = tmp.File("c.txc");
    TCliRun run;
};

TEST_F(CliSearchFile, SavedAnywhereSearchRunsInAnywhereMode) {
    WriteFile(tmp.File("any.TXS"), "[Search]\r\nAnywhere=rock\r\n");
    std::string out = Cli({"search", cat, "--load", tmp.File("any.TXS")});
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out; // the counts go to stderr
    Cli({"export", cat, tmp.File("x.txt"), "--search", tmp.File("any.TXS"), "--fields", "Name"});
    EXPECT_EQ(ReadFile(tmp.File("x.txt")), "\"jazz.mp3\"\r\n\"rock.mp3\"\r\n");
}

TEST_F(CliSearchFile, OutputEscapesBackslashesAndControlsOneWay) {
    std::string out = Cli({"search", cat, "--name", "t", "--sort", "name"});
    // Names in the written form of catalog paths.
    EXPECT_NE(out.find("back%5Ctslash\t"), std::string::npos) << out;
    EXPECT_NE(out.find("tab%09here\t"), std::string::npos) << out;
    EXPECT_NE(Cli({"ls", cat, "V\\"}).find("back%5Ctslash\t"), std::string::npos);
}

TEST_F(CliSearchFile, ExportAndImportIgnoreTheWindowsLastChoices) {
    // What the desktop dialogs left behind.
    WriteFile(run.Settings, "[frmExport]\nIndent=true\nFolders=true\nFolders%20Only=true\n"
                            "Separator=Tab\nLevels%20Use=true\nLevels=1\n"
                            "[frmImport]\nSeparator=Tab\n");
    Cli({"export", cat, tmp.File("x.txt"), "--fields", "Name"});
    EXPECT_EQ(ReadFile(tmp.File("x.txt")),
              "\"back\\tslash\"\r\n\"jazz.mp3\"\r\n\"rock.mp3\"\r\n\"sub\"\r\n"
              "\"tab\there\"\r\n\"other.txt\"\r\n");
    // Each switch has a negative form; the later one wins.
    Cli({"export", cat, tmp.File("y.txt"), "--fields", "Name", "--folders", "--only-folders",
         "--no-only-folders", "--no-folders", "--indent", "--no-indent", "--archives",
         "--no-archives"});
    EXPECT_EQ(ReadFile(tmp.File("y.txt")), ReadFile(tmp.File("x.txt")));
    Cli({"export", cat, tmp.File("z.txt"), "--fields", "Name", "--only-folders"});
    EXPECT_EQ(ReadFile(tmp.File("z.txt")), "\"sub\"\r\n");
    // The import reads commas, as documented, whatever the window used.
    WriteFile(tmp.File("in.txt"), "W,,a,1,\n");
    std::string out = Cli({"import", tmp.File("new.txc"), tmp.File("in.txt")});
    EXPECT_EQ(out, "Volumes: 1\tEntries: 1\tErrors: 0\n");
    // Wrong options are usage errors; --help explains.
    Cli({"export", cat, tmp.File("w.txt"), "--no-such"}, 2);
    EXPECT_NE(Cli({"export", "--help"}).find("--no-indent"), std::string::npos);
    EXPECT_NE(Cli({"import", "--help"}).find("--separator"), std::string::npos);
    EXPECT_NE(Cli({"search", "--help"}).find("--anywhere"), std::string::npos);
}

} // namespace

namespace {

// A criterion the chosen mode would pass over is refused, never ignored.
TEST_F(CliSearchFile, CriteriaAModeWouldPassOverAreRefused) {
    run.Err = tmp.File("err.txt");
    Cli({"search", cat, "--anywhere", "rock", "--name", "jazz"}, 2);
    EXPECT_NE(ReadFile(run.Err).find("--name does not go with --anywhere"), std::string::npos)
        << ReadFile(run.Err);
    Cli({"search", cat, "--anywhere", "rock", "--location", "x"}, 2);
    WriteFile(tmp.File("any.txs"), "[Search]\r\nAnywhere=rock\r\n");
    Cli({"search", cat, "--load", tmp.File("any.txs"), "--type", "mp3"}, 2);
    Cli({"search", cat, "--collections", "--name", "x"}, 2);
    Cli({"search", cat, "--caption", "x"}, 2);
    // What does combine with --anywhere.
    std::string out = Cli({"search", cat, "--anywhere", "rock", "--size", ">", "1"});
    EXPECT_EQ(out.find("rock.mp3"), std::string::npos) << out;
    EXPECT_NE(out.find("jazz.mp3"), std::string::npos) << out;
    EXPECT_NE(Cli({"search", "--help"}).find("which do not go with it"), std::string::npos);
}

} // namespace
