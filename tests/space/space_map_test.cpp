#include "catalog/lib_obj.h"
#include "space/space_map.h"
#include "support/catalog_builder.h"
#include "text/text_utils.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

const TSpaceBlock* Named(const TSpaceMap& map, std::string_view name) {
    for (const TSpaceBlock& b : map.Blocks())
        if (b.Name() == name) return &b;
    return nullptr;
}

// The parent's inside holds each child, and the children's sizes add up to the parent's.
void ExpectNested(const TSpaceMap& map, const TSpaceOptions& o) {
    const auto& blocks = map.Blocks();
    for (const TSpaceBlock& b : blocks) {
        if (b.ChildCount == 0) continue;
        const TSpaceRect in = TSpaceMap::Inside(b, o);
        int64_t sum = 0;
        for (int c = b.FirstChild; c < b.FirstChild + b.ChildCount; ++c) {
            const TSpaceBlock& k = blocks[static_cast<size_t>(c)];
            EXPECT_EQ(k.Parent, &b - blocks.data());
            EXPECT_GE(k.Rect.X, in.X - 1e-6);
            EXPECT_GE(k.Rect.Y, in.Y - 1e-6);
            EXPECT_LE(k.Rect.X + k.Rect.W, in.X + in.W + 1e-6);
            EXPECT_LE(k.Rect.Y + k.Rect.H, in.Y + in.H + 1e-6);
            sum = AddSizes(sum, k.Size);
        }
        EXPECT_EQ(sum, b.Size) << std::string(b.Name());
    }
}

class SpaceMapTest : public ::testing::Test {
protected:
    TLibObj lib;
    TCatalogBuilder b{lib};
};

TEST_F(SpaceMapTest, TotalsCountFoldersByContentsAndArchivesByTheirOwnSize) {
    TTreeNode* cd = b.Volume("CD");
    TTreeNode* music = b.Folder(cd, "music");
    TTreeNode* jazz = b.Folder(music, "jazz");
    b.File(jazz, "a.mp3", 4000);
    b.File(jazz, "b.mp3", 6000);
    b.File(music, "c.flac", 10000);
    TTreeNode* zip = b.Archive(cd, "pack.zip", 500);
    b.File(zip, "inside/big.iso", 900000); // members are unpacked sizes: not on the disc
    b.File(cd, "bad.txt", -50);            // damaged catalogs hold such sizes
    // A folder below the scan's level limit: known by its entry only.
    b.File(cd, "deep", 0)->IsFolder = 1;
    // A folder named like an archive is still a folder.
    b.File(b.Folder(cd, "old.zip"), "kept.doc", 700);

    TSpaceTotals t;
    t.Compute(cd);
    EXPECT_EQ(t.Of(jazz).Size, 10000);
    EXPECT_EQ(t.Of(jazz).Files, 2);
    EXPECT_EQ(t.Of(music).Size, 20000);
    EXPECT_EQ(t.Of(music).Files, 3);
    EXPECT_EQ(t.Of(cd).Size, 21200);
    EXPECT_EQ(t.Of(cd).Files, 6);
    // A subtree's totals know nothing outside it.
    t.Compute(music);
    EXPECT_EQ(t.Of(music).Size, 20000);
    EXPECT_EQ(t.Of(cd).Size, 0);
}

TEST_F(SpaceMapTest, BlocksNestInsideTheirFoldersAndClicksFindTheirFolder) {
    TTreeNode* cd = b.Volume("CD");
    TTreeNode* music = b.Folder(cd, "music");
    TTreeNode* jazz = b.Folder(music, "jazz");
    b.File(jazz, "take five.mp3", 40000);
    b.File(jazz, "so what.mp3", 30000);
    b.File(music, "radio.ogg", 20000);
    TTreeNode* zip = b.Archive(cd, "pack.zip", 25000);
    b.File(zip, "x.txt", 100);
    b.File(cd, "movie.mkv", 90000);

    TSpaceTotals t;
    t.Compute(cd);
    TSpaceMap map;
    const TSpaceOptions o;
    map.Build(t, {0, 0, 600, 400}, o);
    ExpectNested(map, o);
    ASSERT_EQ(map.Blocks()[0].Size, 205000);

    const TSpaceBlock* movie = Named(map, "movie.mkv");
    const TSpaceBlock* song = Named(map, "take five.mp3");
    const TSpaceBlock* jazzBlock = Named(map, "jazz");
    const TSpaceBlock* pack = Named(map, "pack.zip");
    ASSERT_TRUE(movie && song && jazzBlock && pack);
    EXPECT_EQ(movie->Kind, TSpaceKind::Video);
    EXPECT_EQ(song->Kind, TSpaceKind::Audio);
    EXPECT_EQ(pack->Kind, TSpaceKind::Archive);
    // Areas follow sizes: the movie is 90000 of 205000 bytes.
    EXPECT_NEAR(movie->Rect.Area() / (600.0 * 400.0), 90000.0 / 205000.0, 1e-9);
    // A file points at the folder holding it, a folder at itself, an archive at its member list.
    EXPECT_EQ(movie->Node, cd);
    EXPECT_EQ(song->Node, jazz);
    EXPECT_EQ(jazzBlock->Node, jazz);
    EXPECT_EQ(pack->Node, zip);
    EXPECT_FALSE(pack->Opens);

    auto centre = [&](const TSpaceBlock* blk) {
        return map.BlockAt(blk->Rect.X + blk->Rect.W / 2, blk->Rect.Y + blk->Rect.H / 2);
    };
    EXPECT_EQ(&map.Blocks()[static_cast<size_t>(centre(song))], song);
    EXPECT_EQ(&map.Blocks()[static_cast<size_t>(centre(movie))], movie);
    // The name strip of a folder belongs to the folder.
    EXPECT_EQ(&map.Blocks()[static_cast<size_t>(
                  map.BlockAt(jazzBlock->Rect.X + 5, jazzBlock->Rect.Y + 3))],
              jazzBlock);
    EXPECT_EQ(map.BlockAt(-1, 10), -1);
    EXPECT_EQ(map.BlockAt(600, 10), -1);

    auto largest = LargestParts(t, music, 1);
    ASSERT_EQ(largest.size(), 1u);
    EXPECT_EQ(largest[0].Name, "jazz");
    EXPECT_EQ(largest[0].Size, 70000);
}

TEST_F(SpaceMapTest, SmallPartsJoinOneRestBlock) {
    TTreeNode* cd = b.Volume("CD");
    b.File(cd, "huge.iso", 100000000);
    for (int i = 0; i < 3000; ++i)
        b.File(cd, "tiny" + std::to_string(i) + ".txt", 100 + i % 7);
    b.File(cd, "empty.txt", 0);
    TSpaceTotals t;
    t.Compute(cd);
    TSpaceMap map;
    const TSpaceOptions o;
    map.Build(t, {0, 0, 400, 300}, o);
    ExpectNested(map, o);
    const TSpaceBlock& root = map.Blocks()[0];
    ASSERT_EQ(root.ChildCount, 2);
    const TSpaceBlock* rest = nullptr;
    for (const TSpaceBlock& blk : map.Blocks())
        if (blk.Kind == TSpaceKind::Rest) rest = &blk;
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->Files, 3001);
    EXPECT_EQ(rest->Node, cd);
    EXPECT_EQ(rest->Name(), "");
}

TEST_F(SpaceMapTest, DepthIsLimited) {
    TTreeNode* cd = b.Volume("CD");
    TTreeNode* n = cd;
    for (int i = 0; i < 12; ++i)
        n = b.Folder(n, "level" + std::to_string(i));
    b.File(n, "bottom.bin", 1000);
    TSpaceTotals t;
    t.Compute(cd);
    TSpaceMap map;
    TSpaceOptions o;
    o.MaxDepth = 3;
    o.MinOpenSide = 4;
    o.TitleHeight = 4;
    map.Build(t, {0, 0, 2000, 2000}, o);
    int deepest = 0;
    for (const TSpaceBlock& blk : map.Blocks())
        deepest = std::max(deepest, blk.Depth);
    EXPECT_EQ(deepest, 3);
    EXPECT_EQ(map.Blocks().size(), 4u);
    EXPECT_EQ(map.Blocks().back().Size, 1000);
}

TEST_F(SpaceMapTest, HugeSizesSaturateWithoutOverflow) {
    TTreeNode* cd = b.Volume("CD");
    TTreeNode* d = b.Folder(cd, "d");
    const int64_t top = std::numeric_limits<int64_t>::max();
    b.File(d, "a.bin", top - 1);
    b.File(d, "b.bin", top - 1);
    b.File(cd, "c.bin", top / 2);
    TSpaceTotals t;
    t.Compute(cd);
    EXPECT_EQ(t.Of(d).Size, top);
    EXPECT_EQ(t.Of(cd).Size, top);
    TSpaceMap map;
    map.Build(t, {0, 0, 300, 200}, {});
    for (const TSpaceBlock& blk : map.Blocks()) {
        EXPECT_GE(blk.Size, 0);
        EXPECT_TRUE(std::isfinite(blk.Rect.W) && std::isfinite(blk.Rect.H));
        EXPECT_GE(blk.Rect.W, 0);
        EXPECT_GE(blk.Rect.H, 0);
    }
    const TSpaceBlock* a = Named(map, "a.bin");
    const TSpaceBlock* bb = Named(map, "b.bin");
    ASSERT_TRUE(a && bb);
    EXPECT_NEAR(a->Rect.Area(), bb->Rect.Area(), 1e-6);
}

TEST_F(SpaceMapTest, FolderOfHundredThousandEntriesAndEmptyFolders) {
    TTreeNode* cd = b.Volume("CD");
    TTreeNode* big = b.Folder(cd, "big");
    for (int i = 0; i < 100000; ++i)
        b.File(big, "f" + std::to_string(i) + ".jpg", 1 + (i * 7919) % 100000);
    b.Folder(cd, "empty");
    TSpaceTotals t;
    t.Compute(cd);
    TSpaceMap map;
    const TSpaceOptions o;
    map.Build(t, {0, 0, 800, 600}, o);
    ExpectNested(map, o);
    // What is drawn is bounded by the picture, not by the folder.
    EXPECT_LT(map.Blocks().size(), static_cast<size_t>(800 * 600 / o.MinArea) + 10);

    // An empty volume gives a root block and nothing inside.
    TTreeNode* blank = b.Volume("Blank");
    t.Compute(blank);
    map.Build(t, {0, 0, 800, 600}, o);
    ASSERT_EQ(map.Blocks().size(), 1u);
    EXPECT_EQ(map.Blocks()[0].Size, 0);
    t.Compute(nullptr);
    map.Build(t, {0, 0, 800, 600}, o);
    EXPECT_TRUE(map.Blocks().empty());
}

TEST(SpaceKind, GroupsByExtension) {
    EXPECT_EQ(SpaceKindOfType("mp3"), TSpaceKind::Audio);
    EXPECT_EQ(SpaceKindOfType("zstd"), TSpaceKind::Archive);
    EXPECT_EQ(SpaceKindOfType("3gp"), TSpaceKind::Video);
    EXPECT_EQ(SpaceKindOfType(""), TSpaceKind::Other);
    EXPECT_EQ(SpaceKindOfType("unknownext"), TSpaceKind::Other);
    TLibFolderItem e;
    e.Caption = "Holiday.JPG";
    EXPECT_EQ(SpaceKindOf(&e), TSpaceKind::Image);
    e.Caption = "dir.v2/readme";
    EXPECT_EQ(SpaceKindOf(&e), TSpaceKind::Other);
    e.Caption = "backup.tar.gz";
    EXPECT_EQ(SpaceKindOf(&e), TSpaceKind::Archive);
    e.Caption = "photos";
    e.IsFolder = 1;
    EXPECT_EQ(SpaceKindOf(&e), TSpaceKind::Folder);

    EXPECT_EQ(FormatBinarySize(600000), "586 KiB"); // what the space view shows
}

} // namespace
