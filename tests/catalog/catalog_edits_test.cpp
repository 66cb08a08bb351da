// The edit rules the properties dialog, the collections tree and the command
// line share: finding a target by path, keeping a folder and its entry alike,
// push-down, and where a collection may go.
#include "catalog/catalog_edits.h"
#include "catalog/collection_edits.h"
#include "catalog/lib_obj.h"
#include "support/catalog_builder.h"
#include "text/name_text.h"

#include <gtest/gtest.h>

namespace {

class CatalogEdits : public ::testing::Test {
protected:
    void SetUp() override {
        TCatalogBuilder b(lib);
        cd = b.Volume("CD1");
        music = b.Folder(cd, "music", 0, "Old", "old note");
        song = b.File(music, "a.mp3", 10, 0, "Kept");
        b.File(music, "b.mp3", 20);
        live = b.Folder(music, "live");
        deepFile = b.File(live, "c.flac", 30);
        slashed = b.File(cd, "AC\\DC.mp3", 1); // a "\" inside a name
        lib.Modified = false;
    }
    TLibFolderItem* EntryOf(TTreeNode* node) {
        TLibFolder* f = FolderOf(node);
        return f->Parent->FindItem(f->Caption);
    }

    TLibObj lib;
    TTreeNode *cd, *music, *live;
    TLibFolderItem *song, *deepFile, *slashed;
};

TEST_F(CatalogEdits, TargetsAreFoldersOrFilesByCatalogPath) {
    EXPECT_EQ(FindCatalogTarget(lib, "CD1").Node, cd);
    EXPECT_EQ(FindCatalogTarget(lib, "CD1\\music").Node, music);
    EXPECT_EQ(FindCatalogTarget(lib, "CD1\\music\\").Entry, nullptr);
    TCatalogTarget file = FindCatalogTarget(lib, "CD1\\music\\a.mp3");
    EXPECT_EQ(file.Node, music);
    EXPECT_EQ(file.Entry, song);
    TCatalogTarget odd = FindCatalogTarget(lib, GetEntryCatalogPath(slashed));
    EXPECT_EQ(odd.Entry, slashed);
    for (const char* missing : {"", "\\", "CD2", "CD1\\music\\x.mp3", "CD1\\music\\a.mp3\\",
                                "CD1\\AC\\DC.mp3", "music\\a.mp3"}) {
        SCOPED_TRACE(missing);
        EXPECT_FALSE(FindCatalogTarget(lib, missing));
    }
}

TEST_F(CatalogEdits, AFolderAndItsEntryKeepTheSameTexts) {
    TTextEdit edit;
    edit.Category = "Music";
    EXPECT_TRUE(SetFolderTexts(FolderOf(live), edit));
    EXPECT_EQ(EntryOf(live)->Category.str(), "Music");
    EXPECT_FALSE(SetFolderTexts(FolderOf(live), edit)); // nothing new

    // From the entry's side, only the fields given change.
    TTextEdit comments;
    comments.Comments = "live takes";
    EXPECT_TRUE(SetEntryTexts(EntryOf(live), comments));
    EXPECT_EQ(FolderOf(live)->Comments, "live takes");
    EXPECT_EQ(FolderOf(live)->Category, "Music");
    EXPECT_EQ(deepFile->Comments.str(), ""); // nothing below without push-down
}

TEST_F(CatalogEdits, PushDownFillsTheEmptyOrOverwritesEverything) {
    TPropertyEdit edit;
    edit.Recursive = true;
    ASSERT_TRUE(ApplyPropertyEdit(lib, FindCatalogTarget(lib, "CD1\\music"), edit));
    EXPECT_TRUE(lib.Modified);
    EXPECT_EQ(song->Category.str(), "Kept");
    EXPECT_EQ(song->Comments.str(), "old note");
    EXPECT_EQ(deepFile->Category.str(), "Old");
    EXPECT_EQ(FolderOf(live)->Category, "Old");
    EXPECT_EQ(slashed->Category.str(), ""); // beside the folder, not below it

    edit.Texts.Category = "New";
    edit.Overwrite = true;
    // Named by its entry in CD1's list, the folder is pushed down from all the same.
    ASSERT_TRUE(ApplyPropertyEdit(lib, FindCatalogTarget(lib, "CD1\\music\\live"), edit));
    EXPECT_EQ(EntryOf(live)->Category.str(), "New");
    EXPECT_EQ(deepFile->Category.str(), "New");
    EXPECT_EQ(song->Category.str(), "Kept");
}

TEST_F(CatalogEdits, OnlyAVolumeHasALocation) {
    TPropertyEdit edit;
    edit.Location = "Shelf";
    edit.Texts.Category = "x";
    for (const char* path : {"CD1\\music", "CD1\\music\\a.mp3", "CD1\\music\\live"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(ApplyPropertyEdit(lib, FindCatalogTarget(lib, path), edit));
    }
    EXPECT_FALSE(lib.Modified);
    EXPECT_EQ(song->Category.str(), "Kept");
    EXPECT_TRUE(ApplyPropertyEdit(lib, FindCatalogTarget(lib, "CD1"), edit));
    EXPECT_EQ(FolderOf(cd)->Location, "Shelf");
    EXPECT_TRUE(lib.Modified);
}

TEST(CollectionEdits, PathsFindNodesAndDropsNeverGoBelowThemselves) {
    TLibObj lib;
    TTreeNode* shelf = lib.AddCollection(nullptr, "Shelf");
    TTreeNode* films = lib.AddCollection(shelf, "Films");
    TTreeNode* odd = lib.AddCollection(films, "A\\B"); // "\" inside a caption
    for (TTreeNode* n : {shelf, films, odd}) {
        SCOPED_TRACE(n->Text());
        EXPECT_EQ(FindColNodeByPath(lib, GetColPath(n)), n);
        EXPECT_EQ(FindColNodeByPath(lib, GetColPath(n) + "\\"), n);
    }
    EXPECT_EQ(GetColPath(films), "Shelf\\Films");
    EXPECT_EQ(FindColNodeByPath(lib, ""), nullptr);
    EXPECT_EQ(FindColNodeByPath(lib, "Shelf\\Nope"), nullptr);
    EXPECT_EQ(FindColNodeByPath(lib, "Films"), nullptr);

    EXPECT_FALSE(CanDropColNode(shelf, shelf));
    EXPECT_FALSE(CanDropColNode(shelf, odd));
    EXPECT_FALSE(CanDropColNode(nullptr, shelf));
    EXPECT_TRUE(CanDropColNode(odd, shelf));
    EXPECT_TRUE(CanDropColNode(films, nullptr));
    EXPECT_FALSE(lib.MoveColNode(shelf, odd));
    // The "\" of the caption is no separator in the path.
    EXPECT_EQ(GetColPath(odd), "Shelf\\Films\\" + nametext::CaptionToPathPart("A\\B"));
    EXPECT_NE(GetColPath(odd), "Shelf\\Films\\A\\B");
}

TEST(CollectionEdits, MemosAndLinksAreMadeAsTheWindowMakesThem) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* cd = b.Volume("CD1");
    TTreeNode* docs = b.Folder(cd, "docs");
    TLibFolderItem* file = b.File(docs, "a.txt", 3);
    TTreeNode* memo = AddMemo(lib, nullptr, "", "https://x", "text", 2, "New Memo");
    EXPECT_EQ(memo->Text(), "New Memo");
    EXPECT_EQ(ColItemOf(memo)->URL, "https://x");
    EXPECT_EQ(ColItemOf(memo)->ImageIndex, 2);

    TTreeNode* v = LinkCatalogTarget(lib, memo, FindCatalogTarget(lib, "CD1"));
    TTreeNode* f = LinkCatalogTarget(lib, memo, FindCatalogTarget(lib, "CD1\\docs"));
    TTreeNode* e = LinkCatalogTarget(lib, memo, FindCatalogTarget(lib, "CD1\\docs\\a.txt"));
    // The folder named by its entry in CD1's list is a folder link too.
    TTreeNode* viaEntry = LinkCatalogTarget(lib, memo, {cd, FolderOf(cd)->FindItem("docs")});
    EXPECT_EQ(ColItemOf(v)->Kind, TLibColItem::kVolumeLink);
    EXPECT_EQ(ColItemOf(f)->Kind, TLibColItem::kFolderLink);
    EXPECT_EQ(ColItemOf(viaEntry)->Kind, TLibColItem::kFolderLink);
    EXPECT_EQ(ColItemOf(e)->Kind, TLibColItem::kFileLink);
    EXPECT_EQ(ColItemOf(e)->LinkedItem, file);
    EXPECT_EQ(ColItemOf(f)->LinkedFolder, FolderOf(docs));
    EXPECT_EQ(LinkCatalogTarget(lib, memo, {}), nullptr);
}

} // namespace
