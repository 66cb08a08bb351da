#include "search/search_engine.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "text/message_error.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A catalog big enough to be split between threads: volumes with folders of
// many sizes (empty, one entry, more than a status interval), names that
// repeat in both cases, categories and comments on some entries.
class ParallelSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lib_ = new TLibObj;
        TCatalogBuilder b(*lib_);
        const char* words[] = {"Song", "photo", "REPORT", "notes", "song", "Backup"};
        int k = 0;
        for (int v = 0; v < 4; ++v) {
            TTreeNode* vol = b.Volume("Disc " + std::to_string(v), v % 2 ? "Shelf A" : "Box");
            for (int f = 0; f < 30; ++f) {
                TTreeNode* folder = b.Folder(vol, "folder " + std::to_string(f), 0,
                                             f % 7 == 0 ? "music" : "", f % 5 ? "" : "old tapes");
                const int count = f == 3 ? 0 : f == 4 ? 1 : f == 5 ? 9000 : 300 + f * 17;
                for (int i = 0; i < count; ++i, ++k) {
                    std::string name = std::string(words[k % 6]) + " " + std::to_string(k % 4000) +
                                       (k % 3 ? ".mp3" : ".TXT");
                    b.File(folder, name, k % 5000, 40000 + k % 400, k % 11 ? "" : "docs",
                           k % 13 ? "" : "has tapes");
                }
            }
        }
        lib_->Recount();
    }
    static void TearDownTestSuite() {
        delete lib_;
        lib_ = nullptr;
    }

    struct TOutcome {
        std::vector<TLibFolderItem*> Rows, DupRows;
        std::vector<int32_t> DupCells;
        std::vector<TTreeNode*> Collections;
        TSearchStats Stats, DupStats;
    };

    static TOutcome Run(const TSearchCriteria& c, unsigned threads) {
        TNullProgress progress;
        TSearchEngine engine(*lib_, progress);
        engine.Threads = threads;
        engine.ParallelFrom = 1000;
        TSearchResults r(*lib_);
        engine.Run(c, r);
        TOutcome o;
        for (const auto& row : r.Rows)
            o.Rows.push_back(row.Entry);
        for (const auto& row : r.DupRows) {
            o.DupRows.push_back(row.Entry);
            o.DupCells.push_back(row.Duplicates);
        }
        o.Collections = r.CollectionRows;
        o.Stats = r.Stats;
        o.DupStats = r.DupStats;
        return o;
    }

    static void ExpectSame(const TSearchCriteria& c, const char* what) {
        const TOutcome one = Run(c, 1), two = Run(c, 2);
        EXPECT_FALSE(one.Rows.empty() && one.DupRows.empty()) << what;
        EXPECT_EQ(one.Rows, two.Rows) << what;
        EXPECT_EQ(one.DupRows, two.DupRows) << what;
        EXPECT_EQ(one.DupCells, two.DupCells) << what;
        EXPECT_EQ(one.Collections, two.Collections) << what;
        for (const auto* s : {&one.Stats, &one.DupStats}) {
            const auto& t = s == &one.Stats ? two.Stats : two.DupStats;
            EXPECT_EQ(s->Volumes, t.Volumes) << what;
            EXPECT_EQ(s->Folders, t.Folders) << what;
            EXPECT_EQ(s->Files, t.Files) << what;
            EXPECT_EQ(s->Size, t.Size) << what;
            EXPECT_EQ(s->LastVolume, t.LastVolume) << what;
        }
    }

    static TLibObj* lib_;
};

TLibObj* ParallelSearchTest::lib_ = nullptr;

TEST_F(ParallelSearchTest, TwoThreadsGiveTheRowsAndStatisticsOfOne) {
    TSearchCriteria c;
    ExpectSame(c, "everything");
    c.Name = "SONG 1";
    ExpectSame(c, "name");
    c.Name = "Song 1";
    c.MatchCase = true;
    ExpectSame(c, "name, match case");
    c = {};
    c.Volume = "disc 1";
    c.Type = "txt";
    ExpectSame(c, "volume and type, most folders skipped");
    c = {};
    c.Category = "music";
    c.Comments = "tapes";
    ExpectSame(c, "category and comments with the folder's as fallback");
    c = {};
    c.Mode = TSearchMode::Anywhere;
    c.Anywhere = "shelf a";
    ExpectSame(c, "anywhere");
    c = {};
    c.FoldersOnly = true;
    ExpectSame(c, "folders only");
    c = {};
    c.SizeUse = true;
    c.SizeSign = kSignGreater;
    c.SizeValue = 4000;
    c.Date1Use = true;
    c.Date1 = 40100;
    c.Date2Use = true;
    c.Date2 = 40200;
    ExpectSame(c, "size and dates");
    c = {};
    c.Name = "report";
    c.Duplicates = true;
    ExpectSame(c, "duplicates");
}

TEST_F(ParallelSearchTest, StopWithTwoThreadsKeepsARunOfTheRowsInOrder) {
    TSearchCriteria c;
    c.Name = "song";
    const TOutcome all = Run(c, 1);
    for (long polls : {0L, 1L, 40L, 100L}) {
        TRecordingProgress stopping;
        stopping.StopAfterPolls = polls;
        TSearchEngine engine(*lib_, stopping);
        engine.Threads = 2;
        engine.ParallelFrom = 1000;
        TSearchResults r(*lib_);
        try {
            engine.Run(c, r);
            FAIL() << "no stop after " << polls << " polls";
        } catch (const EMessageError& err) {
            EXPECT_EQ(err.Key, "infoCancel");
        }
        ASSERT_LT(r.Rows.size(), all.Rows.size());
        for (size_t i = 0; i < r.Rows.size(); ++i)
            ASSERT_EQ(r.Rows[i].Entry, all.Rows[i]) << polls;
    }
}

} // namespace
