#include "catalog/name_block.h"
#include "search/entry_matcher.h"
#include "search/search_engine.h"
#include "support/catalog_builder.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
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
                                    unsigned threads, size_t layOutAtLeast = 1u << 16) {
    TNullProgress progress;
    TSearchEngine engine(lib, progress);
    engine.Threads = threads;
    engine.ParallelFrom = 100;
    engine.LayOutAtLeast = layOutAtLeast;
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

// Every folder's block, where there is one, holds the names its list holds now.
void ExpectNoStaleBlock(const TLibObj& lib, const std::string& after) {
    lib.Tree.ForEach([&](TTreeNode* n) {
        const TLibFolder* f = FolderOf(n);
        const TNameBlock* block = f->NameBlockIfMade();
        if (!block) return;
        std::string names;
        for (const auto& e : f->Items())
            names.append(e->Caption.view()).push_back('\n');
        ASSERT_EQ(block->Count(), f->Items().size()) << f->Caption << " after " << after;
        EXPECT_EQ(block->Names(0, block->Count()), names) << f->Caption << " after " << after;
    });
}

std::unique_ptr<TLibFolderItem> Entry(const std::string& caption) {
    auto e = std::make_unique<TLibFolderItem>();
    e->Caption = caption;
    return e;
}

std::vector<std::unique_ptr<TLibFolderItem>> Entries(std::vector<std::string> captions) {
    std::vector<std::unique_ptr<TLibFolderItem>> list;
    for (const auto& c : captions)
        list.push_back(Entry(c));
    return list;
}

TEST(NameBlockTest, NoChangeOfAListLeavesAStaleBlock) {
    using TEdit = std::function<void(TLibObj&, TLibFolder*)>;
    const std::vector<std::pair<const char*, TEdit>> edits = {
        {"AddItem at the end", [](TLibObj&, TLibFolder* f) { f->AddItem(Entry("zz song 9")); }},
        {"AddItem out of order", [](TLibObj&, TLibFolder* f) { f->AddItem(Entry("aa song 0")); }},
        {"AddItem of a name it has",
         [](TLibObj&, TLibFolder* f) { EXPECT_EQ(f->AddItem(Entry("song 3.mp3")), nullptr); }},
        {"AddItem of many, out of order",
         [](TLibObj&, TLibFolder* f) {
             for (int i = 99; i >= 0; --i)
                 f->AddItem(Entry("new song " + std::to_string(i)));
         }},
        {"AdoptItems",
         [](TLibObj&, TLibFolder* f) {
             f->AdoptItems(Entries({"song 3.mp3", "b song", "a song", "b song"}));
         }},
        {"AdoptItems of names it has",
         [](TLibObj&, TLibFolder* f) { f->AdoptItems(Entries({"song 3.mp3"})); }},
        {"TakeItem",
         [](TLibObj&, TLibFolder* f) {
             EXPECT_NE(f->TakeItem(f->FindItem("song 3.mp3")), nullptr);
         }},
        {"TakeItem, renamed and added back",
         [](TLibObj&, TLibFolder* f) {
             auto e = f->TakeItem(f->FindItem("song 3.mp3"));
             e->Caption = "tune 3.mp3";
             f->AddItem(std::move(e));
         }},
        {"ClearItems", [](TLibObj&, TLibFolder* f) { f->ClearItems(); }},
        {"ClearItems, then a load",
         [](TLibObj&, TLibFolder* f) {
             f->ClearItems();
             f->AdoptItems(Entries({"song x", "song y"}));
         }},
        {"RemoveItems",
         [](TLibObj&, TLibFolder* f) {
             f->RemoveItems([](TLibFolderItem* e) {
                 return e->Caption.view().find('1') != std::string_view::npos;
             });
         }},
        {"AddEntry", [](TLibObj& lib, TLibFolder* f) { lib.AddEntry(f, Entry("song 77")); }},
        {"DeleteEntries",
         [](TLibObj& lib, TLibFolder* f) {
             lib.DeleteEntries(f, {f->FindItem("song 1.mp3"), f->FindItem("song 5.mp3")});
         }},
    };
    for (const auto& [what, edit] : edits) {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* vol = b.Volume("Disc");
        TTreeNode* folder = b.Folder(vol, "f");
        for (int i = 0; i < 40; ++i)
            b.File(folder, "song " + std::to_string(i) + ".mp3");
        b.File(b.Folder(vol, "g"), "song g");
        lib.Recount();
        ExpectFound(lib, "song");
        ASSERT_NE(FolderOf(folder)->NameBlockIfMade(), nullptr) << what;
        edit(lib, FolderOf(folder));
        ExpectNoStaleBlock(lib, what);
        FolderOf(folder)->Items(); // merges a waiting tail
        ExpectNoStaleBlock(lib, what);
        for (const char* name : {"song", "song 3", "a song", "tune", "new song 4", "s"})
            ExpectFound(lib, name);
        ExpectNoStaleBlock(lib, what);
    }
}

TEST(NameBlockTest, ABigCatalogIsLaidOutOverSeveralSearchesWithTheSameRows) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* vol = b.Volume("Disc");
    for (int f = 0; f < 60; ++f) {
        TTreeNode* folder = b.Folder(vol, "folder " + std::to_string(f));
        for (int i = 0; i < 50; ++i)
            b.File(folder, (i % 7 ? "photo " : "song ") + std::to_string(f * 50 + i) + ".jpg");
    }
    lib.Recount();
    auto laid = [&] {
        int n = 0;
        lib.Tree.ForEach(
            [&](TTreeNode* node) { n += FolderOf(node)->NameBlockIfMade() != nullptr; });
        return n;
    };
    const auto want = Expected(lib, "song 1", false);
    ASSERT_FALSE(want.empty());
    // Each search lays out some folders and reads the others' entries.
    int before = laid();
    for (int search = 0; search < 6; ++search) {
        EXPECT_EQ(Search(lib, "song 1", false, search % 2 + 1, 200), want) << search;
        const int now = laid();
        EXPECT_TRUE(now > before || now == 61) << search;
        before = now;
    }
    EXPECT_EQ(before, 61); // the volume and each folder
    // A folder edited since gets its block back on the next search.
    TLibFolder* f = FolderOf(lib.Tree.Root(0)->Child(3));
    lib.AddEntry(f, Entry("song 1 new"));
    EXPECT_EQ(f->NameBlockIfMade(), nullptr);
    EXPECT_EQ(Search(lib, "song 1", false, 1, 200), Expected(lib, "song 1", false));
    EXPECT_NE(f->NameBlockIfMade(), nullptr);
    ExpectNoStaleBlock(lib, "the search after the edit");
}

TEST(NameBlockTest, ArenaBlocksOutliveTheArenaAndGiveBackTheirMemory) {
    const size_t before = TNameArena::BytesInUse();
    {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* vol = b.Volume("Disc");
        std::vector<TLibFolder*> folders;
        for (int f = 0; f < 30; ++f) {
            TTreeNode* node = b.Folder(vol, "f" + std::to_string(f));
            for (int i = 0; i < 2000; ++i)
                b.File(node,
                       "name " + std::to_string(i) + std::string(static_cast<size_t>(f), 'x'));
            folders.push_back(FolderOf(node));
        }
        lib.Recount(); // sorts the lists
        {
            // Expecting few entries: the arena takes several chunks.
            TNameArena arena(100);
            for (TLibFolder* f : folders)
                ASSERT_NE(f->NameBlock(&arena), nullptr);
        }
        EXPECT_GT(TNameArena::BytesInUse(), before);
        // Dropping some blocks keeps the rest whole.
        for (size_t i = 0; i < folders.size(); i += 2)
            folders[i]->ClearItems();
        for (size_t i = 1; i < folders.size(); i += 2)
            EXPECT_NE(folders[i]->NameBlockIfMade(), nullptr);
        ExpectNoStaleBlock(lib, "dropping every other block");
    }
    EXPECT_EQ(TNameArena::BytesInUse(), before);
}

TEST(NameBlockTest, MapsPlacesToNamesAndReturnsItsBytes) {
    const size_t before = TNameArena::BytesInUse();
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
        EXPECT_GT(TNameArena::BytesInUse(), before);
    }
    EXPECT_EQ(TNameArena::BytesInUse(), before);
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
