#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "support/catalog_builder.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {

TLibFolderItem* AddFile(TLibObj& lib, TLibFolder* f, const std::string& name, int64_t size) {
    return TCatalogBuilder(lib).File(f->Node, name, size);
}

TTreeNode* AddSub(TLibObj& lib, TTreeNode* parent, const std::string& name, int64_t entrySize = 0) {
    return TCatalogBuilder(lib).Archive(parent, name, entrySize);
}

TTreeNode* AddVol(TLibObj& lib, const std::string& caption,
                  const std::string& source = "/mnt/cd/") {
    TTreeNode* v = TCatalogBuilder(lib).Volume(caption);
    FolderOf(v)->SourcePath = source;
    return v;
}

// A volume Backup with Docs (a.txt 10, B.txt 20) and Docs/Deep (c.mp3 5), root file r.zip 7 with
// members.
struct Sample {
    TLibObj lib;
    TTreeNode *vol, *docs, *deep, *zip;
    Sample() {
        vol = AddVol(lib, "Backup");
        docs = AddSub(lib, vol, "Docs");
        AddFile(lib, FolderOf(docs), "a.txt", 10);
        AddFile(lib, FolderOf(docs), "B.txt", 20);
        deep = AddSub(lib, docs, "Deep");
        AddFile(lib, FolderOf(deep), "c.MP3", 5);
        zip = AddSub(lib, vol, "r.zip", 7);
        AddFile(lib, FolderOf(zip), "inner/x.txt", 100);
    }
};

} // namespace

TEST(LibModel, PathsAndTypes) {
    Sample s;
    EXPECT_EQ(GetCatalogPath(FolderOf(s.deep)), "Backup\\Docs\\Deep\\");
    EXPECT_EQ(GetSourcePath(FolderOf(s.deep)), "/mnt/cd/Docs/Deep/");
    EXPECT_EQ(GetDisplayPath(FolderOf(s.docs)), "[Backup]\\Docs\\");
    TLibFolderItem* mp3 = FolderOf(s.deep)->Item(0);
    EXPECT_EQ(GetEntryCatalogPath(mp3), "Backup\\Docs\\Deep\\c.MP3");
    EXPECT_EQ(GetEntryType(mp3), "mp3");
    EXPECT_EQ(GetEntryType(FolderOf(s.vol)->FindItem("Docs")), "");
    EXPECT_TRUE(IsArchiveFolder(FolderOf(s.zip)));
    EXPECT_FALSE(IsArchiveFolder(FolderOf(s.vol)));
    EXPECT_EQ(EntryFolder(FolderOf(s.vol)->FindItem("Docs")), FolderOf(s.docs));
    EXPECT_EQ(EntryVolume(mp3), FolderOf(s.vol));

    TLibObj lib;
    auto drive = TLibFolder::FromPath("C:\\");
    EXPECT_EQ(drive->Caption, ""); // a drive root has no name of its own
    drive->Caption = "C:\\";
    EXPECT_EQ(GetCatalogPath(drive.get()), "C:\\");
    EXPECT_EQ(TLibFolder::FromPath("/media/usb/Music/")->Caption, "Music");
    EXPECT_EQ(TLibFolder::FromPath("/srv/a:b/")->Caption,
              "a:b"); // ":" is an ordinary character here
}

TEST(LibModel, NamesDifferingInCaseAreDistinctAndOrdered) {
    TLibObj lib;
    TLibFolder* f = FolderOf(AddVol(lib, "V"));
    EXPECT_NE(AddFile(lib, f, "a.txt", 1), nullptr);
    EXPECT_NE(AddFile(lib, f, "A.TXT", 2), nullptr);
    EXPECT_EQ(AddFile(lib, f, "a.txt", 3), nullptr); // the exact name is the identity
    EXPECT_NE(AddFile(lib, f, "B", 4), nullptr);
    ASSERT_EQ(f->ItemsCount(), 3);
    EXPECT_EQ(f->Item(0)->Caption, "A.TXT");
    EXPECT_EQ(f->Item(1)->Caption, "a.txt");
    EXPECT_EQ(f->Item(2)->Caption, "B");
    EXPECT_EQ(f->FindItem("a.txt")->Size, 1);
    EXPECT_EQ(f->VolumeSize, 7);
}

TEST(LibModel, SizesAndRecount) {
    Sample s;
    EXPECT_EQ(FolderOf(s.vol)->VolumeSize, 10 + 20 + 5 + 7 + 100);
    EXPECT_EQ(FolderDisplaySize(FolderOf(s.vol)), 142);
    EXPECT_EQ(FolderDisplaySize(FolderOf(s.docs)), 30 + 5);
    EXPECT_TRUE(TotalsAreConsistent(s.lib));
    s.lib.Recount();
    EXPECT_EQ(s.lib.VolumeCount, 1);
    EXPECT_EQ(s.lib.FolderCount, 3);
    EXPECT_EQ(s.lib.FileCount, 4);
    EXPECT_EQ(s.lib.TotalSize, 135);
    TLibObj empty;
    empty.Recount();
    EXPECT_TRUE(empty.CountsValid);
    EXPECT_EQ(empty.VolumeCount + empty.FileCount + empty.FolderCount, 0);
}

TEST(LibModel, PropagateFollowsEachLevelsOwnValues) {
    Sample s;
    FolderOf(s.vol)->Category = "Top";
    FolderOf(s.deep)->Category = "Kept";
    FolderOf(s.docs)->Comments = "mine";
    s.lib.PropagateCategoryComments(FolderOf(s.vol), false);
    EXPECT_EQ(FolderOf(s.docs)->Category, "Top");
    EXPECT_EQ(FolderOf(s.docs)->Comments, "mine");
    EXPECT_EQ(FolderOf(s.deep)->Category, "Kept");
    EXPECT_EQ(FolderOf(s.deep)->Item(0)->Category, "Kept");
    EXPECT_EQ(FolderOf(s.deep)->Item(0)->Comments, "mine");
    s.lib.PropagateCategoryComments(FolderOf(s.vol), true);
    EXPECT_EQ(FolderOf(s.deep)->Item(0)->Category, "Top");
}

TEST(LibModel, DeletingNodesAndEntriesKeepsTotalsAndTree) {
    Sample s;
    s.lib.DeleteEntries(FolderOf(s.deep), {FolderOf(s.deep)->Item(0)});
    EXPECT_TRUE(TotalsAreConsistent(s.lib));
    // Deleting a file in the parent later leaves the subfolder in place.
    s.lib.DeleteEntries(FolderOf(s.docs), {FolderOf(s.docs)->FindItem("a.txt")});
    EXPECT_NE(s.deep->Parent(), nullptr);
    EXPECT_EQ(s.docs->Count(), 1);
    EXPECT_TRUE(TotalsAreConsistent(s.lib));
    // A folder entry deletes its node with it.
    s.lib.DeleteEntries(FolderOf(s.docs), {FolderOf(s.docs)->FindItem("Deep")});
    EXPECT_EQ(s.docs->Count(), 0);
    // Deleting a node removes its entry from the parent.
    s.lib.DeleteNodes({s.zip, s.zip});
    EXPECT_EQ(FolderOf(s.vol)->FindItem("r.zip"), nullptr);
    EXPECT_TRUE(TotalsAreConsistent(s.lib));
    EXPECT_EQ(FolderOf(s.vol)->VolumeSize, 20);
    EXPECT_TRUE(s.lib.Modified);
    // A node and its own descendant chosen together.
    s.lib.DeleteNodes({s.docs, s.vol});
    EXPECT_EQ(s.lib.Tree.TotalCount(), 0);
}

TEST(LibModel, CollectionLinksNeverDangle) {
    Sample s;
    TTreeNode* col = s.lib.AddCollection(nullptr, "Favourites");
    TTreeNode* l1 = s.lib.LinkFolder(col, FolderOf(s.docs));
    TTreeNode* l2 = s.lib.LinkFolder(nullptr, FolderOf(s.docs));
    TLibFolderItem* b = FolderOf(s.docs)->FindItem("B.txt");
    TTreeNode* fl = s.lib.LinkEntry(col, FolderOf(s.docs), b);
    EXPECT_EQ(ColItemOf(fl)->Kind, TLibColItem::kFileLink);
    EXPECT_EQ(ColItemOf(fl)->LinkPath, "Backup\\Docs\\B.txt");
    EXPECT_EQ(ColItemOf(s.lib.LinkFolder(nullptr, FolderOf(s.vol)))->Kind,
              TLibColItem::kVolumeLink);
    EXPECT_EQ(ColItemOf(s.lib.LinkFolder(nullptr, FolderOf(s.zip)))->Kind,
              TLibColItem::kArchiveLink);
    EXPECT_EQ(FolderOf(s.docs)->CollectionNode, l2);
    // Deleting the newest link hands the back-reference to the older one.
    s.lib.DeleteColNodes({l2});
    EXPECT_EQ(FolderOf(s.docs)->CollectionNode, l1);
    EXPECT_EQ(s.lib.EntryLink(b), fl);
    // Deleting the folder deletes every link to it and to its entries.
    s.lib.DeleteNodes({s.docs});
    EXPECT_EQ(col->Count(), 0);
    s.lib.ColTree.ForEach([&](TTreeNode* n) {
        TLibColItem* c = ColItemOf(n);
        EXPECT_NE(c->Kind, TLibColItem::kFileLink);
        EXPECT_NE(c->Kind, TLibColItem::kFolderLink);
    });
}

TEST(LibModel, CollectionMovesAndRenames) {
    TLibObj lib;
    TTreeNode* a = lib.AddCollection(nullptr, "b");
    TTreeNode* child = lib.AddCollection(a, "child");
    TTreeNode* other = lib.AddCollection(nullptr, "a");
    EXPECT_EQ(lib.ColTree.Root(0), other);
    EXPECT_FALSE(lib.MoveColNode(a, a));
    EXPECT_FALSE(lib.MoveColNode(a, child));
    EXPECT_TRUE(lib.MoveColNode(a, other));
    EXPECT_EQ(ColItemOf(child)->Level, 2);
    lib.RenameColNode(other, "z");
    EXPECT_EQ(ColItemOf(other)->Caption, "z");
    TTreeNode* vol = AddVol(lib, "Disc");
    AddSub(lib, vol, "sub");
    EXPECT_FALSE(lib.RenameVolume(vol->Child(0), "x"));
    EXPECT_TRUE(lib.RenameVolume(vol, "Another"));
    EXPECT_EQ(GetCatalogPath(FolderOf(vol->Child(0))), "Another\\sub\\");
}

TEST(LibModel, LookupsByPathAndText) {
    Sample s;
    AddVol(s.lib, "Other", "/mnt/other/");
    EXPECT_EQ(FindNodeByPath(s.vol, "Backup\\Docs\\Deep\\"), s.deep);
    EXPECT_EQ(FindNodeByPath(s.vol, "/mnt/cd/Docs/"), s.docs);
    EXPECT_EQ(FindNodeByPath(s.docs, "/mnt/other/"), nullptr); // only the start's subtree
    EXPECT_EQ(FindNodeByText(s.lib.Tree, "Deep"), s.deep);
    EXPECT_EQ(FindFolderByCatalogPath(s.lib, "Backup\\Docs\\Deep"), s.deep);
    EXPECT_EQ(FindFolderByCatalogPath(s.lib, "Backup\\docs\\"), nullptr);
    EXPECT_EQ(OneLineText("a\r\nb\nc\r", ";"), "a;b;c");
    EXPECT_EQ(s.lib.Tree.NodeAt(2), s.deep);
    EXPECT_EQ(s.deep->AbsoluteIndex(), 2);
}

namespace {

std::string Name(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "n%05d", i);
    return buf;
}

bool SortedAndComplete(const TLibFolder* f, size_t count) {
    const auto& items = f->Items();
    if (items.size() != count) return false;
    for (size_t i = 1; i < items.size(); ++i)
        if (CompareNames(items[i - 1]->Caption.view(), items[i]->Caption.view()) >= 0) return false;
    for (const auto& e : items)
        if (e->Owner != f) return false;
    return true;
}

} // namespace

// New names interleaved with a folder's entries (an update) and out of order
// (an archive's members): every lookup sees them at once, the order is right
// whenever it is read, and an exact name is never added twice.
TEST(LibModel, OutOfOrderAddsAreFoundAndSorted) {
    TLibObj lib;
    TLibFolder* f = FolderOf(AddVol(lib, "V"));
    for (int i = 0; i < 2000; i += 2)
        AddFile(lib, f, Name(i), 1);
    for (int i = 1; i < 2000; i += 2) {
        ASSERT_NE(AddFile(lib, f, Name(i), 2), nullptr);
        ASSERT_EQ(f->FindItem(Name(i))->Size, 2);
    }
    EXPECT_EQ(AddFile(lib, f, Name(10), 9), nullptr); // already in the sorted part
    EXPECT_EQ(AddFile(lib, f, Name(11), 9), nullptr); // already among the new ones
    EXPECT_FALSE(f->SortsAfterLast(Name(1999)));
    EXPECT_TRUE(f->SortsAfterLast(Name(2000)));
    AddFile(lib, f, "M-last-but-case", 4); // sorts among, not after, the n names
    EXPECT_EQ(f->ItemsCount(), 2001);
    EXPECT_EQ(f->VolumeSize, 1000 * 1 + 1000 * 2 + 4);
    EXPECT_EQ(f->IndexOfItem(Name(7)), 8);
    EXPECT_TRUE(SortedAndComplete(f, 2001));
    EXPECT_EQ(f->Item(0)->Caption.view(), "M-last-but-case");

    // Taking and deleting entries that are still waiting in the tail.
    AddFile(lib, f, "a", 1);
    TLibFolderItem* late = AddFile(lib, f, "late", 1);
    lib.SetEntrySize(late, 0); // taking an entry does no size bookkeeping
    EXPECT_EQ(f->TakeItem(late)->Caption.view(), "late");
    AddFile(lib, f, "b", 1);
    lib.DeleteEntries(f, {f->FindItem("b"), f->FindItem(Name(3))});
    EXPECT_TRUE(SortedAndComplete(f, 2001));
    EXPECT_EQ(f->FindItem("b"), nullptr);
    EXPECT_TRUE(TotalsAreConsistent(lib));

    // Many at once, some already there and some twice.
    std::vector<std::unique_ptr<TLibFolderItem>> batch;
    for (const std::string& n :
         {std::string("zz"), std::string("a"), std::string("yy"), std::string("zz"), Name(4)}) {
        batch.push_back(std::make_unique<TLibFolderItem>());
        batch.back()->Caption = n;
    }
    f->AdoptItems(std::move(batch));
    EXPECT_TRUE(SortedAndComplete(f, 2003));
}

// A walk's look-ups in ascending order, and out of order, find the same entries.
TEST(LibModel, ForwardLookupsFindWhatFindItemFinds) {
    TLibObj lib;
    TLibFolder* f = FolderOf(AddVol(lib, "V"));
    for (int i = 0; i < 1000; i += 3)
        AddFile(lib, f, Name(i), 1);
    AddFile(lib, f, Name(1), 1); // waits in the tail
    size_t hint = 0;
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(f->FindItemFrom(Name(i), hint), f->FindItem(Name(i))) << i;
    for (int i : {999, 3, 1, 0, 500, 2}) // backwards: the hint is not trusted
        ASSERT_EQ(f->FindItemFrom(Name(i), hint), f->FindItem(Name(i))) << i;
    hint = 1u << 30; // beyond the list
    EXPECT_EQ(f->FindItemFrom(Name(6), hint), f->FindItem(Name(6)));
}

// Subfolders added out of order wait unsorted, yet are found at once, come out
// sorted (equal texts in the order added), and many go in one deletion.
TEST(LibModel, OutOfOrderSubfoldersAreFoundSortedAndDeletedTogether) {
    TLibObj lib;
    TTreeNode* v = AddVol(lib, "V");
    for (int i = 1999; i >= 0; --i)
        AddSub(lib, v, Name(i));
    for (int i = 0; i < 2000; i += 97)
        ASSERT_EQ(v->FindChild(Name(i))->Text(), Name(i));
    AddSub(lib, v, Name(5000)); // after the look-ups above
    EXPECT_NE(v->FindChild(Name(5000)), nullptr);
    EXPECT_EQ(v->FindChild("missing"), nullptr);
    ASSERT_EQ(v->Count(), 2001);
    for (int i = 0; i + 1 < v->Count(); ++i)
        ASSERT_LT(CompareNames(v->Child(i)->Text(), v->Child(i + 1)->Text()), 0);

    struct TTagged : TTreeRecord {
        explicit TTagged(int v) : n(v) {}
        int n;
    };
    TTree t;
    TTreeNode* r = t.AddRoot("r", nullptr);
    for (int i = 0; i < 100; ++i) // each name twice, in reverse order
        t.AddChild(r, Name(100 - i % 50), std::make_unique<TTagged>(i));
    EXPECT_LT(static_cast<TTagged*>(r->FindChild(Name(60))->Data())->n, 50);
    for (int i = 0; i < 100; i += 2) {
        EXPECT_LT(static_cast<TTagged*>(r->Child(i)->Data())->n, 50);
        EXPECT_GE(static_cast<TTagged*>(r->Child(i + 1)->Data())->n, 50);
    }

    std::vector<TTreeNode*> doomed;
    for (int i = 0; i < 2000; i += 2)
        doomed.push_back(v->FindChild(Name(i)));
    AddSub(lib, v, Name(3000)); // one more in a fresh tail
    lib.DeleteNodes(doomed, true);
    EXPECT_EQ(v->Count(), 1002);
    EXPECT_EQ(FolderOf(v)->ItemsCount(), 1002);
    EXPECT_EQ(v->FindChild(Name(4)), nullptr);
    EXPECT_NE(v->FindChild(Name(5)), nullptr);
    EXPECT_EQ(lib.Tree.TotalCount(), 1003);
    int seen = 0;
    lib.Tree.ForEach([&](TTreeNode* n) { EXPECT_EQ(n->AbsoluteIndex(), seen++); });
    EXPECT_EQ(seen, 1003);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

// 100,000 nested folders: paths, lookups, deletion and freeing need no stack per level.
TEST(LibModel, VeryDeepTreesNeedNoStackPerLevel) {
    constexpr int kDepth = 100000;
    TLibObj lib;
    TTreeNode* n = AddVol(lib, "V", "/v/");
    for (int i = 0; i < kDepth; ++i)
        n = AddSub(lib, n, "d");
    AddFile(lib, FolderOf(n), "bottom", 3);
    EXPECT_EQ(FolderOf(lib.Tree.Root(0))->VolumeSize, 3);
    EXPECT_EQ(GetDisplayPath(FolderOf(n)).size(), 4u + 2u * kDepth);
    EXPECT_EQ(GetEntryCatalogPath(FolderOf(n)->Item(0)).size(), 2u + 2u * kDepth + 6u);
    EXPECT_EQ(EntryVolume(FolderOf(n)->Item(0)), FolderOf(lib.Tree.Root(0)));
    TTreeNode* half = n;
    for (int i = 0; i < kDepth / 2; ++i)
        half = half->Parent();
    lib.DeleteNodes({half});
    EXPECT_EQ(lib.Tree.TotalCount(), kDepth / 2);
    EXPECT_EQ(FolderOf(lib.Tree.Root(0))->VolumeSize, 0);
}

// An archive is a file of its own size wherever totals are shown, its members
// counted apart, also those in a folder inside it; a .zip that was not opened
// (the ZIP handler off) is just a file. The properties total (TotalFileSize)
// and the status bar's (Recount) must agree.
TEST(LibModel, EveryTotalCountsArchivesByTheirOwnSize) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* vol = b.Volume("V");
    TTreeNode* docs = b.Folder(vol, "Docs");
    b.File(docs, "a.txt", 10);
    b.File(b.Folder(docs, "Deep"), "c.mp3", 5);
    TTreeNode* zip = b.Archive(vol, "r.zip", 7);
    b.File(zip, "x.txt", 100);
    b.File(b.Folder(zip, "inner"), "y.txt", 1000);
    b.File(vol, "plain.zip", 50);
    b.File(vol, "broken", -4); // a damaged catalog's size takes nothing away
    lib.Recount();
    std::atomic<bool> stop{false};
    EXPECT_EQ(lib.TotalSize, 10 + 5 + 100 + 1000 + 50 - 4); // the stored format's count
    const TCatalogTotals expected{5, 2, 3, 10 + 5 + 7 + 50};
    EXPECT_EQ(lib.Totals, expected);
    EXPECT_EQ(FolderOf(vol)->Totals, expected);
    EXPECT_EQ(TotalFileSize(lib, nullptr, stop), lib.Totals.Bytes);
    EXPECT_EQ(TotalFileSize(lib, vol, stop), lib.Totals.Bytes);
    EXPECT_EQ(FolderOf(docs)->Totals, (TCatalogTotals{2, 1, 0, 15}));
    EXPECT_EQ(TotalFileSize(lib, docs, stop), 15);
    // Inside the archive its entries are what the node holds.
    EXPECT_EQ(FolderOf(zip)->Totals, (TCatalogTotals{2, 1, 0, 1100}));
}

// Entries arriving in any order, repeated names among them, at sizes around
// the points where the unsorted tail gets an index or is merged.
TEST(LibModel, EntriesInAnyOrderEndSortedWithEachNameOnce) {
    std::mt19937 rng(7);
    for (int n : {5, 31, 32, 33, 64, 65, 100, 257, 1000}) {
        TLibObj lib;
        TLibFolder* f = FolderOf(AddVol(lib, "V"));
        std::vector<std::string> names;
        for (int i = 0; i < n; ++i)
            names.push_back((i % 3 ? "n" : "N") + std::to_string(rng() % 100000));
        std::vector<std::string> arrivals = names;
        arrivals.insert(arrivals.end(), names.begin(), names.begin() + n / 2);
        std::shuffle(arrivals.begin(), arrivals.end(), rng);
        std::set<std::string> seen;
        for (size_t i = 0; i < arrivals.size(); ++i) {
            const bool fresh = seen.insert(arrivals[i]).second;
            ASSERT_EQ(AddFile(lib, f, arrivals[i], 1) != nullptr, fresh) << n << " " << i;
            // Everything added so far is found, sorted part and tail alike.
            if (n <= 100 || i % 50 == 0) {
                for (size_t k = 0; k <= i; ++k)
                    ASSERT_NE(f->FindItem(arrivals[k]), nullptr) << n << " " << k;
            }
        }
        std::vector<std::string> expected(seen.begin(), seen.end());
        std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
            return CompareNames(a, b) < 0;
        });
        std::vector<std::string> got;
        for (const auto& e : f->Items())
            got.push_back(e->Caption.str());
        EXPECT_EQ(got, expected) << n;
        EXPECT_EQ(f->ItemsSize, static_cast<int64_t>(expected.size()));
    }
}

// A deleted entry's link goes with it: an entry made later (the freed
// record may be reused) is not linked, and Clear forgets every link.
TEST(LibModel, EntryLinksEndWithTheirEntry) {
    Sample s;
    TLibFolder* docs = FolderOf(s.docs);
    TLibFolderItem* a = docs->FindItem("a.txt");
    TTreeNode* link = s.lib.LinkEntry(nullptr, docs, a);
    EXPECT_EQ(s.lib.EntryLink(a), link);
    s.lib.DeleteEntries(docs, {a});
    EXPECT_EQ(s.lib.ColTree.TotalCount(), 0);
    for (int i = 0; i < 20; ++i) {
        TLibFolderItem* e = AddFile(s.lib, docs, "new" + std::to_string(i), 1);
        EXPECT_EQ(s.lib.EntryLink(e), nullptr);
    }
    TLibFolderItem* c = FolderOf(s.deep)->FindItem("c.MP3");
    s.lib.LinkEntry(nullptr, FolderOf(s.deep), c);
    s.lib.DeleteNodes({s.docs}); // the folder of the linked entry
    EXPECT_EQ(s.lib.ColTree.TotalCount(), 0);
    TLibFolderItem* b = AddFile(s.lib, FolderOf(s.vol), "b", 1);
    s.lib.LinkEntry(nullptr, FolderOf(s.vol), b);
    s.lib.Clear();
    EXPECT_EQ(s.lib.EntryLink(b), nullptr);
}
