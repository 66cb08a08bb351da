#include "search/saved_search.h"
#include "search/search_engine.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/scoped_state.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <algorithm>
#include <clocale>
#include <ctime>
#include <gtest/gtest.h>

namespace {

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        TCatalogBuilder b(lib);
        cd1 = b.Volume("CD1", "Shelf A");
        b.File(cd1, "Song.MP3", 2048, Day("2020-05-01 10:00:00"), "music");
        b.File(cd1, "readme", 0, Day("2020-05-01 23:59:00"));
        docs = b.Folder(cd1, "docs", Day("2020-04-01"), "documents", "work papers");
        b.File(docs, "a.txt", 1024, Day("2020-05-02 08:00:00"));
        b.File(docs, "B.TXT", 1048575, Day("2020-05-03"), {}, "has doc inside");
        deep = b.Folder(docs, "deep", Day("2020-04-02"));
        b.File(deep, "a.txt", 1, Day("2020-06-01"));
        cd2 = b.Volume("CD2", "Box");
        b.File(cd2, "A.TXT", 1048576, Day("2021-01-01"));
        lib.Recount();
        lib.Modified = false;
    }

    std::vector<std::string> Run(const TSearchCriteria& c,
                                 const std::vector<TTreeNode*>* sel = nullptr) {
        engine.Run(c, results, sel);
        std::vector<std::string> out;
        for (const auto& r : results.Visible())
            out.push_back(GetEntryCatalogPath(r.Entry));
        return out;
    }

    TLibObj lib;
    TTreeNode *cd1 = nullptr, *docs = nullptr, *deep = nullptr, *cd2 = nullptr;
    TNullProgress progress;
    TSearchEngine engine{lib, progress};
    TSearchResults results{lib};
};

using Paths = std::vector<std::string>;

TEST_F(SearchTest, EmptyCriteriaFindEveryEntryButNoVolume) {
    TSearchCriteria c;
    Paths all = Run(c);
    EXPECT_EQ(all, (Paths{"CD1\\docs", "CD1\\readme", "CD1\\Song.MP3", "CD1\\docs\\a.txt",
                          "CD1\\docs\\B.TXT", "CD1\\docs\\deep", "CD1\\docs\\deep\\a.txt",
                          "CD2\\A.TXT"}));
    EXPECT_EQ(results.Stats.Files, 6);
    EXPECT_EQ(results.Stats.Folders, 2);
    EXPECT_EQ(results.Stats.Volumes, 2);
    EXPECT_EQ(results.Stats.Size, 2048 + 1024 + 1048575 + 1 + 1048576);
}

TEST_F(SearchTest, FoldingOnlyChangesAsciiLettersAndMatchCaseKeepsTypesLowerCase) {
    TSearchCriteria c;
    c.Type = "MP3";
    EXPECT_EQ(Run(c), (Paths{"CD1\\Song.MP3"}));
    c.MatchCase = true; // type texts are lower-case
    EXPECT_TRUE(Run(c).empty());
    c = {};
    c.Name = "SONG";
    c.MatchCase = true;
    EXPECT_TRUE(Run(c).empty());
    c.MatchCase = false;
    EXPECT_EQ(Run(c).size(), 1u);
    EXPECT_EQ(FoldText("straße é", false), "STRAßE é");
}

TEST_F(SearchTest, CategoryIsEqualityAndFallsBackToTheFolderCommentsContain) {
    TSearchCriteria c;
    c.Category = "doc";
    EXPECT_TRUE(Run(c).empty());
    c.Category = "DOCUMENTS"; // a.txt, B.TXT and deep have none: their folder's counts
    EXPECT_EQ(Run(c),
              (Paths{"CD1\\docs", "CD1\\docs\\a.txt", "CD1\\docs\\B.TXT", "CD1\\docs\\deep"}));
    c = {};
    c.Comments = "doc";
    EXPECT_EQ(Run(c), (Paths{"CD1\\docs\\B.TXT"}));
    c.Comments = "papers"; // a.txt's own comments are empty: the folder's count
    EXPECT_EQ(Run(c), (Paths{"CD1\\docs", "CD1\\docs\\a.txt", "CD1\\docs\\deep"}));
}

TEST_F(SearchTest, LocationFindsEveryEntryOfTheVolumesAtThatLocation) {
    TSearchCriteria c;
    c.Location = "shelf";
    Paths found = Run(c);
    EXPECT_EQ(found.size(), 7u);
    EXPECT_TRUE(std::find(found.begin(), found.end(), "CD1\\docs\\deep\\a.txt") != found.end());
    TCellFormat fmt;
    EXPECT_EQ(results.CellText(results.Rows.back(), kColLocation, fmt), "Shelf A");
    c.Location = "Box";
    EXPECT_EQ(Run(c), (Paths{"CD2\\A.TXT"}));
}

TEST_F(SearchTest, AnywhereIsAnOrOfTheTextTestsAndCategoryStaysEquality) {
    TSearchCriteria c;
    c.Mode = TSearchMode::Anywhere;
    c.Anywhere = "music"; // the whole category name
    EXPECT_EQ(Run(c), (Paths{"CD1\\Song.MP3"}));
    c.Anywhere = "musi"; // part of a category finds nothing else
    EXPECT_TRUE(Run(c).empty());
    c.Anywhere = "box"; // location of CD2
    EXPECT_EQ(Run(c), (Paths{"CD2\\A.TXT"}));
    c.Anywhere.clear();
    c.SizeUse = true;
    c.SizeSign = kSignGreater;
    c.SizeValue = 1024;
    EXPECT_EQ(Run(c), (Paths{"CD1\\Song.MP3", "CD1\\docs\\B.TXT", "CD2\\A.TXT"}));
    EXPECT_TRUE(c.Name.empty()); // the criteria are not changed by a run
}

TEST_F(SearchTest, DatesCompareWholeDaysWithBothBoundsIncluded) {
    TSearchCriteria c;
    c.Date1Use = true;
    c.Date1 = Day("2020-05-01 15:00:00");
    EXPECT_EQ(Run(c), (Paths{"CD1\\readme", "CD1\\Song.MP3"}));
    c.Date2Use = true;
    c.Date2 = Day("2020-05-02");
    EXPECT_EQ(Run(c), (Paths{"CD1\\readme", "CD1\\Song.MP3", "CD1\\docs\\a.txt"}));
    c.Date1 = Day("2020-05-03");
    EXPECT_TRUE(Run(c).empty()); // first date later than the second
    c.Date1Use = false;          // a second date alone does nothing
    EXPECT_EQ(Run(c).size(), 8u);
}

TEST_F(SearchTest, SizesCompareInTheUnitWithoutRounding) {
    TSearchCriteria c;
    c.SizeUse = true;
    c.SizeSign = kSignEqual;
    c.SizeValue = 1;
    c.SizeUnit = 1;
    EXPECT_EQ(Run(c), (Paths{"CD1\\docs\\a.txt"}));
    c.SizeSign = kSignLess;
    c.SizeUnit = 2; // below one MB: 1048575 but not 1048576
    Paths below = Run(c);
    EXPECT_TRUE(std::find(below.begin(), below.end(), "CD1\\docs\\B.TXT") != below.end());
    EXPECT_TRUE(std::find(below.begin(), below.end(), "CD2\\A.TXT") == below.end());
    c.SizeSign = kSignGreater;
    c.SizeUnit = 0;
    c.SizeValue = 0; // excludes empty files and folder entries
    EXPECT_EQ(Run(c).size(), 5u);
}

TEST_F(SearchTest, SelectedNodesSearchOnlyTheirDirectEntriesAndFoldersOnlyFilters) {
    TSearchCriteria c;
    std::vector<TTreeNode*> sel{cd1};
    EXPECT_EQ(Run(c, &sel), (Paths{"CD1\\docs", "CD1\\readme", "CD1\\Song.MP3"}));
    c.FoldersOnly = true;
    EXPECT_EQ(Run(c), (Paths{"CD1\\docs", "CD1\\docs\\deep"}));
}

TEST_F(SearchTest, DuplicatesIgnoreCaseAlwaysAndCountEveryResultOfTheName) {
    TSearchCriteria c;
    c.Name = "a.txt";
    c.Duplicates = true;
    c.MatchCase = true; // the duplicate test still ignores case
    c.Name = "a.";
    // a.txt (docs), a.txt (deep); A.TXT on CD2 does not contain "a." in this case.
    EXPECT_EQ(Run(c), (Paths{"CD1\\docs\\a.txt", "CD1\\docs\\deep\\a.txt"}));
    c.MatchCase = false;
    Paths d = Run(c);
    EXPECT_EQ(d, (Paths{"CD1\\docs\\a.txt", "CD1\\docs\\deep\\a.txt", "CD2\\A.TXT"}));
    for (const auto& r : results.DupRows) {
        EXPECT_EQ(r.Entry->DupCount, 3);
        EXPECT_EQ(r.Duplicates, 3);
    }
    TCellFormat fmt;
    EXPECT_EQ(results.CellText(results.DupRows[0], kColDuplicates, fmt), "3");
    EXPECT_EQ(results.CellText(results.Rows[0], kColDuplicates, fmt), "");
    EXPECT_EQ(results.DupStats.Files, 3);
    EXPECT_EQ(results.DupStats.Volumes, 2);
    // The results list keeps every match; unique names are not duplicates.
    c.Name.clear();
    Run(c);
    EXPECT_EQ(results.Rows.size(), 8u);
    EXPECT_EQ(results.DupRows.size(), 3u);
}

TEST_F(SearchTest, DuplicateOrderAddsTheFirstTwoTogether) {
    TLibObj big;
    TCatalogBuilder b(big);
    TTreeNode* v = b.Volume("V");
    TTreeNode* f1 = b.Folder(v, "f1");
    TTreeNode* f2 = b.Folder(v, "f2");
    TTreeNode* f3 = b.Folder(v, "f3");
    b.File(f1, "x");
    b.File(f1, "y");
    b.File(f2, "Y");
    b.File(f2, "x");
    b.File(f3, "X");
    TSearchEngine e(big, progress);
    TSearchResults r(big);
    TSearchCriteria c;
    c.Duplicates = true;
    e.Run(c, r);
    Paths got;
    for (const auto& row : r.DupRows)
        got.push_back(GetEntryCatalogPath(row.Entry) + "=" + std::to_string(row.Duplicates));
    EXPECT_EQ(got, (Paths{"V\\f1\\x=3", "V\\f2\\x=3", "V\\f1\\y=2", "V\\f2\\Y=2", "V\\f3\\X=3"}));
}

TEST_F(SearchTest, ReplaceChangesTheFoundEntriesAndMarksTheCatalogModified) {
    TSearchCriteria c;
    c.Type = "txt";
    c.ReplaceCategory = true;
    c.ReplaceCategoryText = "text";
    c.ReplaceComments = true;
    c.ReplaceCommentsText = "checked";
    Run(c);
    EXPECT_TRUE(lib.Modified);
    for (const auto& r : results.Rows) {
        EXPECT_EQ(r.Entry->Category.view(), "text");
        EXPECT_EQ(r.Entry->Comments.view(), "checked");
    }
    EXPECT_EQ(FolderOf(cd1)->FindItem("Song.MP3")->Category.view(), "music");
    lib.Modified = false;
    c.ReplaceCategory = c.ReplaceComments = false;
    Run(c);
    EXPECT_FALSE(lib.Modified);
}

TEST_F(SearchTest, SortingFlipsPerColumnAndTheStateIsShared) {
    TSearchCriteria c;
    c.Type = "txt";
    c.Duplicates = true;
    Run(c);
    TSortState state;
    auto sizes = [](const std::vector<TSearchRow>& rows) {
        std::vector<int64_t> out;
        for (const auto& r : rows)
            out.push_back(r.Entry->Size);
        return out;
    };
    SortRows(results.Rows, kColSize, state);
    EXPECT_EQ(sizes(results.Rows), (std::vector<int64_t>{1, 1024, 1048575, 1048576}));
    SortRows(results.Rows, kColSize, state);
    EXPECT_EQ(sizes(results.Rows), (std::vector<int64_t>{1048576, 1048575, 1024, 1}));
    SortRows(results.DupRows, kColSize, state); // continues ascending
    EXPECT_EQ(sizes(results.DupRows), (std::vector<int64_t>{1, 1024, 1048576}));
    SortRows(results.Rows, kColName, state); // byte-wise: upper case first
    EXPECT_EQ(results.Rows[0].Entry->Caption.view(), "A.TXT");
    EXPECT_EQ(results.Rows[1].Entry->Caption.view(), "B.TXT");
    SortRows(results.Rows, kColPath, state);
    EXPECT_EQ(GetEntryCatalogPath(results.Rows[0].Entry), "CD1\\docs\\B.TXT");
    EXPECT_EQ(GetEntryCatalogPath(results.Rows[3].Entry), "CD2\\A.TXT");
}

TEST_F(SearchTest, StopKeepsTheRowsFoundSoFar) {
    TRecordingProgress stopping;
    stopping.StopAfterPolls = 3;
    TSearchEngine e(lib, stopping);
    TSearchCriteria c;
    try {
        e.Run(c, results);
        FAIL() << "no stop";
    } catch (const EMessageError& err) {
        EXPECT_EQ(err.Key, "infoCancel");
    }
    EXPECT_GT(results.Rows.size(), 0u);
    EXPECT_LT(results.Rows.size(), 8u);
}

TEST_F(SearchTest, BusyScopeHoldsTheIdleStateForTheWholeRun) {
    TProgressState state;
    ASSERT_TRUE(state.Idle());
    {
        TBusyScope busy(state);
        EXPECT_FALSE(state.Idle());
        TRecordingProgress stopping;
        stopping.StopAfterPolls = 0;
        TSearchEngine e(lib, stopping);
        EXPECT_THROW(e.Run(TSearchCriteria{}, results), EMessageError);
        EXPECT_FALSE(state.Idle());
    }
    EXPECT_TRUE(state.Idle());
}

TEST_F(SearchTest, RowsAreDroppedWhenTheCatalogFreesEntries) {
    TSearchCriteria c;
    c.Name = "a.txt";
    Run(c);
    ASSERT_EQ(results.Rows.size(), 3u);
    TLocateResult file = results.Locate(false, 0);
    EXPECT_EQ(file.Node, docs);
    EXPECT_EQ(file.Entry->Caption.view(), "a.txt");
    lib.DeleteEntries(FolderOf(cd2), {FolderOf(cd2)->FindItem("A.TXT")});
    EXPECT_EQ(results.Locate(false, 0).Node, nullptr);
    EXPECT_TRUE(results.Rows.empty());
    TCellFormat fmt;
    TSearchRow stale;
    EXPECT_EQ(results.CellText(stale, kColName, fmt), "");
}

TEST_F(SearchTest, LocateAFolderEntryGivesItsOwnNode) {
    TSearchCriteria c;
    c.Name = "deep";
    Run(c);
    ASSERT_EQ(results.Rows.size(), 1u);
    EXPECT_EQ(results.Locate(false, 0).Node, deep);
    EXPECT_EQ(results.Locate(false, 5).Node, nullptr);
}

TEST_F(SearchTest, CellsShowTheElevenColumns) {
    TSearchCriteria c;
    c.Name = "B.TXT";
    Run(c);
    ASSERT_EQ(results.Rows.size(), 1u);
    TCellFormat fmt;
    fmt.SizeUnit = 1;
    const TSearchRow& r = results.Rows[0];
    std::vector<std::string> cells;
    for (int i = 0; i < kSearchColumnCount; ++i)
        cells.push_back(results.CellText(r, i, fmt));
    EXPECT_EQ(cells, (std::vector<std::string>{"B.TXT", "txt", "CD1", "CD1\\docs\\", "1 023.99 KB",
                                               "2020-05-03", "", "has doc inside", "",
                                               "CD1\\docs\\B.TXT", "Shelf A"}));
    EXPECT_EQ(r.ImageIndex, 2);
    auto status = results.StatusTexts(fmt);
    EXPECT_EQ(status[0], "Volumes: 1");
    EXPECT_EQ(status[5], "Results: 1");
}

TEST_F(SearchTest, CollectionsModeTestsCaptionUrlAndMemo) {
    TTreeNode* memo = lib.AddCollection(nullptr, "Holiday photos");
    ColItemOf(memo)->URL = "http://example.org/pics";
    ColItemOf(memo)->MemoText = "summer";
    lib.AddCollection(nullptr, "Work");
    lib.LinkFolder(nullptr, FolderOf(cd2));
    TSearchCriteria c;
    c.Mode = TSearchMode::Collections;
    c.ColCaption = "photo";
    c.ColURL = "EXAMPLE";
    Run(c);
    ASSERT_EQ(results.CollectionRows.size(), 1u);
    EXPECT_EQ(results.CollectionRows[0], memo);
    EXPECT_TRUE(results.Rows.empty());
    EXPECT_EQ(results.Stats.Collections, 1);
    // Results of a linked volume bring its collection node along.
    c = {};
    c.Volume = "CD2";
    Run(c);
    EXPECT_EQ(results.CollectionRows.size(), 1u);
    EXPECT_EQ(results.Stats.Collections, 1);
}

TEST(SavedSearch, KeysInOrderIsoDatesAndRoundTrip) {
    TSearchCriteria c;
    c.Name = "song";
    c.Type = "mp3";
    c.Category = "music";
    c.Comments = "live\r\nset";
    c.Date1Use = true;
    c.Date1 = Day("2021-02-03");
    c.Date2Use = true;
    c.Date2 = Day("2021-03-04");
    c.SizeUse = true;
    c.SizeSign = kSignLess;
    c.SizeUnit = 2;
    c.SizeValue = 700;
    c.Location = "Box";
    c.Anywhere = "any";
    c.ColCaption = "cap";
    c.ColURL = "url";
    c.ColComments = "memo";
    c.MatchCase = true;
    c.Volume = "not saved";
    std::string text = SavedSearchText(c);
    EXPECT_EQ(text, "[Search]\r\nFile=song\r\nType=mp3\r\nCat=music\r\nComments=live  set\r\n"
                    "Date1use=1\r\nDate1=2021-02-03\r\nDate2use=1\r\nDate2=2021-03-04\r\n"
                    "SizeUse=1\r\nSizeSign=2\r\nSizeRnd=2\r\nSizeVal=700\r\nLocation=Box\r\n"
                    "Anywhere=any\r\nCol Caption=cap\r\nCol URL=url\r\nCol Comments=memo\r\n"
                    "Option Match Case=1\r\n");
    TTempFolder tmp;
    SaveSearch(tmp.File("s.TXS"), c);
    TSearchCriteria back;
    back.Volume = "kept";
    LoadSearch(tmp.File("s.TXS"), back);
    EXPECT_EQ(back.Name, "song");
    EXPECT_EQ(back.Date1, c.Date1);
    EXPECT_EQ(back.Date2, c.Date2);
    EXPECT_EQ(back.SizeValue, 700);
    EXPECT_EQ(back.SizeSign, kSignLess);
    EXPECT_TRUE(back.MatchCase);
    EXPECT_EQ(back.ColURL, "url");
    EXPECT_EQ(back.Volume, "kept");
    EXPECT_THROW(LoadSearch(tmp.File("missing.TXS"), back), EMessageError);
}

TEST(SavedSearch, MissingOrUnreadableValuesKeepTheCriteria) {
    TSearchCriteria c;
    c.Name = "old";
    c.SizeValue = 5;
    c.Date1 = Day("2000-01-01");
    ApplySavedSearchText("[Other]\r\nFile=x\r\n[search]\r\nsizeval=abc\r\nDate1=31.31.2020\r\n"
                         "SizeSign=7\r\nType=\r\n\x01\x02garbage",
                         c);
    EXPECT_EQ(c.Name, "old");
    EXPECT_EQ(c.SizeValue, 5);
    EXPECT_EQ(c.SizeSign, kSignEqual);
    EXPECT_EQ(c.Date1, Day("2000-01-01"));
    c.Type = "x";
    ApplySavedSearchText("[Search]\nType=\n", c); // an empty value is a value
    EXPECT_EQ(c.Type, "");
}

TEST(SavedSearch, LocaleDatesAreReadToo) {
    TScopedLocale usDates(LC_TIME, "C"); // %x is mm/dd/yy
    ASSERT_TRUE(usDates.Ok);
    TSearchCriteria c;
    ApplySavedSearchText("[Search]\r\nDate1=02/03/21\r\n", c);
    EXPECT_EQ(c.Date1, Day("2021-02-03"));
}

} // namespace
