// The constructed examples of each format, read into the catalog model.
#include "peer_test_support.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "text/date_time.h"

#include <gtest/gtest.h>

namespace {

TDateTime Epoch(int64_t s) {
    return UnixToDateTime(s);
}

TEST(PeerExamples, CdcatExampleMapsEveryField) {
    TTempFolder tmp;
    // Plain XML and the gzip form CDCat writes read the same.
    for (bool packed : {false, true}) {
        TLibObj lib;
        TRecordingProgress progress;
        const std::string text = kCdcatExample;
        TPeerImportResult r =
            ImportPeerCatalog(lib, tmp.Write("a.hcf", packed ? Gzip(text) : text), {}, progress);
        EXPECT_EQ(r.Format, TPeerFormat::CDCat);
        EXPECT_EQ(r.Volumes, 1);
        EXPECT_EQ(r.Folders, 2); // the archive's folder line makes a folder
        EXPECT_EQ(r.Files, 3);
        EXPECT_EQ(r.ArchiveMembers, 1);
        ASSERT_EQ(lib.Tree.RootCount(), 1);
        TLibFolder* v = FolderOf(lib.Tree.Root(0));
        EXPECT_EQ(v->Caption, "Holiday 2008");
        EXPECT_EQ(v->Category, "photos");
        EXPECT_EQ(
            v->Comments,
            "Second copy is at the office\nOwner=Ilse\nMediaType=DVD\nNumber=7\nBorrowed=Marek");
        EXPECT_EQ(v->Date, Day("2019-03-02 18:39:50"));

        TLibFolder* dir = FolderAt(lib, "Holiday 2008\\Crete & Rhodes\\");
        ASSERT_NE(dir, nullptr);
        EXPECT_EQ(dir->Date, Day("2008-09-14 21:05:33"));
        TLibFolderItem* mp3 = EntryAt(lib, "Holiday 2008\\Crete & Rhodes\\", "waves.mp3");
        ASSERT_NE(mp3, nullptr);
        EXPECT_EQ(mp3->Size, 3638559); // 3.47 x 1024^2, rounded
        EXPECT_EQ(mp3->Date, Day("2008-09-10 08:12:00"));
        EXPECT_EQ(mp3->Comments.str(), "2:31, 192 kbps\n44100Hz, Joint stereo");
        EXPECT_EQ(mp3->TagInfo.Value("Artist"), "Nobody");
        EXPECT_EQ(mp3->TagInfo.Value("Title"), "Waves");
        EXPECT_EQ(mp3->TagInfo.Value("Album"), "Shore");
        EXPECT_EQ(mp3->TagInfo.Value("Year"), "2008");
        EXPECT_EQ(mp3->TagInfo.Value("Track"), "3");
        EXPECT_EQ(mp3->TagInfo.Value("Comment"), "dawn take");
        EXPECT_EQ(mp3->TagInfo.Value("General.Format"), "MPEG Audio");

        TLibFolderItem* tgz = EntryAt(lib, "Holiday 2008\\Crete & Rhodes\\", "notes.tar.gz");
        ASSERT_NE(tgz, nullptr);
        EXPECT_EQ(tgz->Size, 12800);
        EXPECT_EQ(tgz->IsFolder, 1);
        // The folder's line comes after its file's, and dates the folder made for it.
        TLibFolderItem* notes =
            EntryAt(lib, "Holiday 2008\\Crete & Rhodes\\notes.tar.gz\\", "notes");
        ASSERT_NE(notes, nullptr);
        EXPECT_EQ(notes->IsFolder, 1);
        EXPECT_EQ(notes->Date, Day("2008-09-09 21:00:00"));
        EXPECT_EQ(FolderRef(lib, "Holiday 2008\\Crete & Rhodes\\notes.tar.gz\\notes\\").Date,
                  Day("2008-09-09 21:00:00"));
        TLibFolderItem* member =
            EntryAt(lib, "Holiday 2008\\Crete & Rhodes\\notes.tar.gz\\notes\\", "day1.txt");
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(member->Size, 20480);
        EXPECT_EQ(member->Date, Day("2008-09-09 21:00:07")); // hour and second, no minutes
        EXPECT_EQ(EntryRef(lib, "Holiday 2008\\Crete & Rhodes\\", "readme.nfo").Size, 13);

        // The link to another catalog is named, not silently dropped.
        ASSERT_EQ(progress.Logged.size(), 1u);
        EXPECT_NE(progress.Logged[0].find("Music shelf (/home/ilse/music.hcf)"), std::string::npos);
    }
}

TEST(PeerExamples, CatcliExampleMapsEveryField) {
    TTempFolder tmp;
    TLibObj lib;
    TPeerImportResult r = ImportText(lib, tmp, "catcli.catalog", kCatcliExample);
    EXPECT_EQ(r.Format, TPeerFormat::Catcli);
    EXPECT_EQ(r.Errors, 0);
    ASSERT_EQ(lib.Tree.RootCount(), 1); // the meta node is no volume
    TLibFolder* v = FolderOf(lib.Tree.Root(0));
    EXPECT_EQ(v->Caption, "holiday-2008");
    EXPECT_EQ(v->Comments, "shelf=B2, usb\nFree=1048576\nTotal=4700372992");
    EXPECT_EQ(v->Date, Epoch(1551548390));
    EXPECT_EQ(FolderRef(lib, "holiday-2008\\Crete & Rhodes\\").Date, Epoch(1221419133));
    TLibFolderItem* mp3 = EntryAt(lib, "holiday-2008\\Crete & Rhodes\\", "waves.mp3");
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->Size, 3638559);
    EXPECT_DOUBLE_EQ(mp3->Date, UnixToDateTime(1220990400, 250000000));
    EXPECT_TRUE(mp3->TagInfo.Empty()); // an empty md5 is no tag line
    TLibFolderItem* zip = EntryAt(lib, "holiday-2008\\", "notes.zip");
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip->IsFolder, 1);
    EXPECT_EQ(zip->Size, 12800);
    // Nested arc nodes stay nested: folder notes, file day1.txt, both undated.
    TLibFolder* arch = FolderAt(lib, "holiday-2008\\notes.zip\\");
    ASSERT_NE(arch, nullptr);
    EXPECT_TRUE(IsArchiveFolder(arch));
    EXPECT_FALSE(IsArchiveFolder(FolderAt(lib, "holiday-2008\\Crete & Rhodes\\")));
    ASSERT_EQ(arch->ItemsCount(), 1);
    EXPECT_EQ(arch->Item(0)->Caption.str(), "notes");
    EXPECT_EQ(arch->Item(0)->IsFolder, 1);
    TLibFolder* notes = FolderAt(lib, "holiday-2008\\notes.zip\\notes\\");
    ASSERT_NE(notes, nullptr);
    EXPECT_FALSE(IsArchiveFolder(notes));
    ASSERT_EQ(notes->ItemsCount(), 1);
    EXPECT_EQ(notes->Item(0)->Caption.str(), "day1.txt");
    EXPECT_EQ(notes->Item(0)->Date, 0);
    EXPECT_EQ(r.ArchiveMembers, 1);
    EXPECT_EQ(r.Folders, 2);
}

TEST(PeerExamples, GocatcliExampleMapsEveryField) {
    TTempFolder tmp;
    TLibObj lib;
    TPeerImportResult r = ImportText(lib, tmp, "gocatcli.catalog", kGocatcliExample);
    EXPECT_EQ(r.Format, TPeerFormat::Gocatcli);
    EXPECT_EQ(r.Errors, 0);
    ASSERT_EQ(lib.Tree.RootCount(), 1);
    TLibFolder* v = FolderOf(lib.Tree.Root(0));
    EXPECT_EQ(v->Caption, "holiday-2008");
    EXPECT_EQ(v->Category, "photos");
    EXPECT_EQ(v->Comments, "shelf B2\nFree=1048576\nTotal=4700372992\nTags=photos, dvd");
    EXPECT_EQ(v->SourcePath, "DVD_HOLIDAY/");
    TLibFolderItem* mp3 = EntryAt(lib, "holiday-2008\\Crete & Rhodes\\", "waves.mp3");
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->Date, Epoch(1220990400));
    EXPECT_EQ(mp3->TagInfo.Value("MD5"), "4f1c0d5e9a8b7c6d5e4f3a2b1c0d9e8f");
    EXPECT_EQ(mp3->TagInfo.Value("MIME"), "audio/mpeg");
    EXPECT_EQ(mp3->TagInfo.Value("Mode"), "-rw-r--r--");
    TLibFolderItem* member = EntryAt(lib, "holiday-2008\\notes.zip\\notes\\", "day1.txt");
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->Size, 20480);
    EXPECT_EQ(member->Date, Epoch(1220987227));
}

TEST(PeerExamples, VolumesAreAppendedWithNumberedNames) {
    TTempFolder tmp;
    TLibObj lib;
    TCatalogBuilder(lib).Volume("holiday-2008");
    ImportText(lib, tmp, "a.catalog", kCatcliExample);
    ImportText(lib, tmp, "b.catalog", kGocatcliExample);
    ASSERT_EQ(lib.Tree.RootCount(), 3);
    EXPECT_EQ(FolderOf(lib.Tree.Root(0))->Caption, "holiday-2008");
    EXPECT_EQ(FolderOf(lib.Tree.Root(1))->Caption, "holiday-2008#2");
    EXPECT_EQ(FolderOf(lib.Tree.Root(2))->Caption, "holiday-2008#3");
    EXPECT_TRUE(lib.Modified);
    EXPECT_EQ(lib.FileCount, 4); // waves.mp3 and one member each; archives count as folders
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

} // namespace
