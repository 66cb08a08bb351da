// The stored bytes of the catalog file do not change with the code that reads
// and writes them: a catalog holding every kind of record is saved and
// compared with a file saved by an earlier build (tests/data/catalog). Set
// TAMBLIX_WRITE_FIXTURES=1 to write that file anew, only when the format
// itself is meant to change.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "support/catalog_builder.h"
#include "support/temp_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

TNullProgress quiet;

const std::string kFixture = std::string(TAMBLIX_TEST_DATA) + "/catalog/every_record.txc";

// Volumes, folders at several levels, an empty folder, archives marked by
// name and against it, entries with tags, categories and comments, every
// kind of collection record, and texts in several scripts.
void BuildEveryRecord(TLibObj& lib) {
    TCatalogBuilder b(lib);
    lib.Comments = "All my discs\r\nsecond line";
    lib.Category = "Home";
    lib.Categories.Add("Music");
    lib.Categories.Add("Films");
    lib.Categories.Add("\xd0\x9a\xd0\xbd\xd0\xb8\xd0\xb3\xd0\xb8"); // Cyrillic

    TTreeNode* cd = b.Volume("CD1", "Shelf 2", "1234-ABCD");
    TLibFolder* cdf = FolderOf(cd);
    cdf->SourcePath = "/media/cdrom/";
    cdf->Date = 45123.25;
    cdf->Category = "Music";
    cdf->Comments = "bought in 2020";
    TTreeNode* music = b.Folder(cd, "Music", 44000.5, "Music", "folder notes");
    TTreeNode* album = b.Folder(music, "Album \xc3\xa9t\xc3\xa9", 44001.75);
    TLibFolderItem* song = b.File(album, "01 Intro.mp3", 3145728, 44002.125, "Music", "first");
    song->TagInfo.SetValue("Title", std::string("Intro"));
    song->TagInfo.SetValue("BitRateKBS", int32_t(192));
    song->TagInfo.SetValue("DurationSec", 215.379591836735);
    b.File(album, "02 Song.mp3", 4000000, 44002.5);
    b.File(album, "02 song.mp3", 1, 44002.5); // differs only in case
    b.Folder(music, "Empty");
    TTreeNode* zip = b.Archive(cd, "pack.zip", 5000);
    b.File(zip, "docs/readme.txt", 120, 43000.0);
    b.Archive(cd, "comic.cbz", 70);                // an archive not named like one
    b.Folder(cd, "photos.zip", 0, "", "a folder"); // a folder named like an archive
    TLibFolderItem* big = b.File(cd, "disk.img", 5000000000LL, 45000.0, "", "line1\r\nline2");
    b.File(cd, "\xe6\x97\xa5\xe6\x9c\xac.txt", 7); // Japanese

    TTreeNode* dvd = b.Volume("DVD 2");
    FolderOf(dvd)->SourcePath = "D:\\";
    b.File(dvd, "movie.mkv", 700000000, 44500.0);

    TTreeNode* best = lib.AddCollection(nullptr, "Best of");
    TLibColItem* memo = ColItemOf(lib.AddCollection(best, "A memo"));
    memo->MemoText = "remember\r\nthis";
    memo->URL = "https://example.org/";
    memo->ImageIndex = 3;
    lib.LinkFolder(best, cdf);
    lib.LinkFolder(best, FolderOf(album));
    lib.LinkEntry(best, FolderOf(album), song);
    lib.LinkFolder(nullptr, FolderOf(zip));
    lib.LinkEntry(nullptr, cdf, big);
    lib.LinkFolder(nullptr, FolderOf(dvd));
}

} // namespace

TEST(CatalogFormat, EveryKindOfRecordSavesAsBefore) {
    TTempFolder dir;
    TLibObj lib;
    BuildEveryRecord(lib);
    SaveToFile(lib, dir.File("now.txc"), quiet);
    const std::string now = ReadFile(dir.File("now.txc"));
    if (std::getenv("TAMBLIX_WRITE_FIXTURES")) WriteFile(kFixture, now);
    const std::string before = ReadFile(kFixture);
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(now == before) << "the saved bytes differ from " << kFixture;

    // The stored file loads and saves back to the same bytes.
    TLibObj loaded;
    LoadFromFile(loaded, kFixture, false, quiet);
    EXPECT_FALSE(loaded.Modified);
    EXPECT_EQ(loaded.FileCount, lib.FileCount);
    EXPECT_EQ(loaded.FolderCount, lib.FolderCount);
    EXPECT_EQ(loaded.TotalSize, lib.TotalSize);
    EXPECT_EQ(loaded.ColTree.TotalCount(), lib.ColTree.TotalCount());
    SaveToFile(loaded, dir.File("again.txc"), quiet);
    EXPECT_TRUE(ReadFile(dir.File("again.txc")) == before);
}

// Files of several megabytes, with Strings of every length up to the
// largest the format holds lying across the edges of the read and write
// buffers, come back field for field and save to the same bytes.
TEST(CatalogFormat, LargeFilesRoundTripAcrossBufferEdges) {
    TTempFolder dir;
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* vol = b.Volume("Big");
    std::vector<std::string> texts;
    for (size_t n = 0; texts.size() < 120; n = n * 3 + 7)
        texts.push_back(std::string(n % (65536 + 1), static_cast<char>('a' + texts.size() % 26)));
    for (size_t i = 0; i < texts.size(); ++i) {
        TLibFolderItem* e = b.File(vol, "file" + std::to_string(1000 + i), static_cast<int64_t>(i));
        e->Comments = texts[i];
        e->Category = texts[(i * 7) % texts.size()].substr(0, 300);
    }
    SaveToFile(lib, dir.File("big.txc"), quiet);
    const std::string bytes = ReadFile(dir.File("big.txc"));
    EXPECT_GT(bytes.size(), size_t{3} << 20);
    TLibObj loaded;
    LoadFromFile(loaded, dir.File("big.txc"), false, quiet);
    TLibFolder* v = FolderOf(loaded.Tree.Root(0));
    ASSERT_EQ(v->ItemsCount(), static_cast<int>(texts.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        const TLibFolderItem* e = v->Item(static_cast<int>(i));
        ASSERT_EQ(e->Comments.view(), texts[i]) << i;
        ASSERT_EQ(e->Category.view(), texts[(i * 7) % texts.size()].substr(0, 300)) << i;
    }
    SaveToFile(loaded, dir.File("again.txc"), quiet);
    EXPECT_TRUE(ReadFile(dir.File("again.txc")) == bytes);
}
