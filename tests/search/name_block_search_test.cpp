#include "catalog/name_block.h"
#include "search/entry_matcher.h"
#include "search/search_engine.h"
#include "support/catalog_builder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The rows a name search must give, worked out the plain way: every entry of
// every folder in tree order whose folded name holds the folded criterion.
std::vector<TLibFolderItem*> Expected(const TLibObj& lib, const std::string& name, bool matchCase) {
    std::vector<TLibFolderItem*> rows;
    const std::string want = FoldText(name, matchCase);
    for (TTreeNode* n = lib.Tree.FirstNode(); n; n = TTree::NextPreOrder(n))
        for (const auto& e : FolderOf(n)->Items())
            if (FoldText(e->Caption.view(), matchCase).find(want) != std::string::npos)
                rows.push_back(e.get());
    return rows;
}

std::vector<TLibFolderItem*> Search(TLibObj& lib, const std::string& name, bool matchCase,
                                    unsigned threads) {
    TNullProgress progress;
    TSearchEngine engine(lib, progress);
    engine.Threads = threads;
    engine.ParallelFrom = 100;
    TSearchResults r(lib);
    TSearchCriteria c;
    c.Name = name;
    c.MatchCase = matchCase;
    engine.Run(c, r);
    std::vector<TLibFolderItem*> rows;
    for (const auto& row : r.Rows)
        rows.push_back(row.Entry);
    return rows;
}

void ExpectFound(TLibObj& lib, const std::string& name, bool matchCase = false) {
    const auto want = Expected(lib, name, matchCase);
    EXPECT_EQ(Search(lib, name, matchCase, 1), want) << "'" << name << "' one thread";
    EXPECT_EQ(Search(lib, name, matchCase, 2), want) << "'" << name << "' two threads";
}

// Names that meet the block's edges: empty-looking ones, one with a line feed
// (the block's own separator), and pairs whose end and start together spell a
// criterion that neither holds. One folder is longer than a status interval,
// so that its slices are shared between the threads.
class NameBlockSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        TCatalogBuilder b(lib_);
        TTreeNode* vol = b.Volume("Disc", "Shelf");
        small_ = b.Folder(vol, "small");
        for (const char* name : {"ab", "cd", "x\ny", "Song 1.mp3", "song 12.MP3", "z"})
            b.File(small_, name, 1);
        TTreeNode* big = b.Folder(vol, "big");
        for (int i = 0; i < 9000; ++i)
            b.File(big, (i % 3 ? "photo " : "SONG ") + std::to_string(i) + ".jpg", i);
        b.Folder(vol, "empty");
        lib_.Recount();
    }

    TLibObj lib_;
    TTreeNode* small_ = nullptr;
};

TEST_F(NameBlockSearchTest, FindsWhatTheNamesHoldAndNothingAcrossThem) {
    for (const char* name : {"song 1", "SONG 12", ".mp3", "b", "z", "4.jpg", "x\ny", "photo 8999"})
        ExpectFound(lib_, name);
    ExpectFound(lib_, "Song", true);
    ExpectFound(lib_, "SONG 1", true);
    // Spanning the line feed between two names finds none of them.
    EXPECT_TRUE(Search(lib_, "b\nc", false, 1).empty());
    EXPECT_TRUE(Search(lib_, "bc", false, 2).empty());
    EXPECT_TRUE(Search(lib_, "jpg\nphoto", false, 2).empty());
    // The search made the blocks it used.
    EXPECT_NE(FolderOf(small_)->NameBlockIfMade(), nullptr);
}

TEST_F(NameBlockSearchTest, AnEditedFolderIsSearchedAsItIsNow) {
    TLibFolder* f = FolderOf(small_);
    ExpectFound(lib_, "song");
    ASSERT_NE(f->NameBlockIfMade(), nullptr);

    // Added: found by the next search.
    auto added = std::make_unique<TLibFolderItem>();
    added->Caption = "tune 77.ogg";
    TLibFolderItem* a = lib_.AddEntry(f, std::move(added));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(f->NameBlockIfMade(), nullptr);
    ExpectFound(lib_, "tune 77");
    EXPECT_EQ(Search(lib_, "tune 77", false, 1), std::vector<TLibFolderItem*>{a});

    // Renamed (taken out, renamed, put back): found by its new name only.
    std::unique_ptr<TLibFolderItem> taken = f->TakeItem(a);
    ASSERT_NE(taken, nullptr);
    taken->Caption = "renamed.ogg";
    TLibFolderItem* r = f->AddItem(std::move(taken));
    EXPECT_TRUE(Search(lib_, "tune 77", false, 2).empty());
    EXPECT_EQ(Search(lib_, "renamed", false, 2), std::vector<TLibFolderItem*>{r});

    // Deleted: gone from the rows, and the rest still found in order.
    TLibFolderItem* song1 = f->FindItem("Song 1.mp3");
    ASSERT_NE(song1, nullptr);
    lib_.DeleteEntries(f, {song1});
    ExpectFound(lib_, "song 1");
    ExpectFound(lib_, "mp3");

    // Many added at once, out of order, the way an import adds them.
    std::vector<std::unique_ptr<TLibFolderItem>> many;
    for (int i = 40; i > 0; --i) {
        many.push_back(std::make_unique<TLibFolderItem>());
        many.back()->Caption = "batch " + std::to_string(i);
    }
    f->AdoptItems(std::move(many));
    ExpectFound(lib_, "batch 4");

    f->ClearItems();
    ExpectFound(lib_, "song");
    EXPECT_TRUE(Search(lib_, "batch", false, 1).empty());
}

TEST(NameBlockTest, MapsPlacesToNamesAndReturnsItsBytes) {
    const size_t before = TNameBlock::BytesInUse();
    {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* folder = b.Folder(b.Volume("Disc"), "f");
        for (const char* name : {"a", "bb", "ccc"})
            b.File(folder, name);
        const TNameBlock* block = FolderOf(folder)->NameBlock();
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(FolderOf(folder)->NameBlock(), block); // made once
        ASSERT_EQ(block->Count(), 3u);
        EXPECT_EQ(block->Names(0, 3), "a\nbb\nccc\n");
        EXPECT_EQ(block->Names(1, 2), "bb\n");
        EXPECT_EQ(block->Start(2), 5u);
        EXPECT_EQ(block->End(2), 8u);
        const size_t owner[] = {0, 0, 1, 1, 1, 2, 2, 2, 2};
        for (size_t pos = 0; pos < 9; ++pos)
            EXPECT_EQ(block->EntryAt(pos, 0, 3), owner[pos]) << pos;
        EXPECT_EQ(block->EntryAt(6, 2, 3), 2u);
        EXPECT_GT(TNameBlock::BytesInUse(), before);
    }
    EXPECT_EQ(TNameBlock::BytesInUse(), before);
}

TEST(NameBlockTest, AFolderWithEntriesWaitingUnsortedHasNone) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* folder = b.Folder(b.Volume("Disc"), "f");
    b.File(folder, "m");
    TLibFolder* f = FolderOf(folder);
    auto late = std::make_unique<TLibFolderItem>();
    late->Caption = "a"; // sorts first: waits in the tail
    f->AddItem(std::move(late));
    EXPECT_EQ(f->NameBlock(), nullptr);
    f->Items(); // merges the tail
    const TNameBlock* block = f->NameBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->Names(0, 2), "a\nm\n");
}

} // namespace
