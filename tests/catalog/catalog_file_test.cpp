#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

namespace {

std::string ErrorKey(const std::function<void()>& f) {
    try {
        f();
    } catch (const EMessageError& e) {
        return e.Key;
    }
    return {};
}

TTreeNode* NewVolume(TLibObj& lib, const std::string& caption, const std::string& source) {
    TTreeNode* v = TCatalogBuilder(lib).Volume(caption);
    FolderOf(v)->SourcePath = source;
    return v;
}

TLibFolderItem* NewFile(TLibObj& lib, TTreeNode* node, const std::string& name, int64_t size) {
    return TCatalogBuilder(lib).File(node, name, size);
}

TNullProgress quiet;

} // namespace

TEST(CatalogFile, ByteExactSmallCatalogs) {
    TTempFolder dir;
    TLibObj empty;
    SaveToFile(empty, dir.File("empty.txc"), quiet);
    std::string bytes = ReadFile(dir.File("empty.txc"));
    EXPECT_EQ(bytes.size(), 35u);
    EXPECT_EQ(bytes.substr(0, 15), std::string("\x0b\0\0\0Tamblix 2.3", 15));
    EXPECT_EQ(empty.FileName, dir.File("empty.txc"));

    TLibObj one;
    TTreeNode* cd = NewVolume(one, "CD1", "D:\\");
    NewFile(one, cd, "a.txt", 5);
    SaveToFile(one, dir.File("one.txc"), quiet);
    std::string expected = TCatalogBytes()
                               .Header("Tamblix 2.3", 1, 0, 0)
                               .Folder("CD1", 0, 0, 1, 0, "D:\\")
                               .Entry("a.txt", 5, true)
                               .data;
    EXPECT_EQ(ReadFile(dir.File("one.txc")), expected);
    EXPECT_EQ(expected.size(), 127u);
    EXPECT_FALSE(one.Modified);
}

TEST(CatalogFile, RoundTripKeepsEverything) {
    TTempFolder dir;
    TLibObj lib;
    lib.Comments = "my discs";
    lib.Category = "home";
    lib.Categories.Add("Music");
    lib.Categories.Add("films");
    TTreeNode* vol = NewVolume(lib, "Disc \xc3\xa9t\xc3\xa9", "/media/disc/");
    FolderOf(vol)->Location = "Shelf 2";
    FolderOf(vol)->Serial = "1234ABCD";
    TLibFolderItem* song = NewFile(lib, vol, "song.mp3", 3000000000LL);
    song->TagInfo.SetValue("Title", std::string("Morning"));
    song->TagInfo.SetValue("DurationSec", 215.379591836735);
    song->Comments = "line1\r\nline2";
    song->Date = 45000.5;
    NewFile(lib, vol, "Song.mp3", 1);
    TTreeNode* col = lib.AddCollection(nullptr, "Best");
    lib.LinkEntry(col, FolderOf(vol), song);
    ColItemOf(col)->URL = "https://example.org/";
    SaveToFile(lib, dir.File("c.txc"), quiet);

    TLibObj back;
    LoadFromFile(back, dir.File("c.txc"), false, quiet);
    EXPECT_FALSE(back.Modified);
    EXPECT_EQ(back.Comments, "my discs");
    EXPECT_EQ(back.Categories.Count(), 2);
    EXPECT_EQ(back.Locations.Lines(), std::vector<std::string>{"Shelf 2"});
    TLibFolder* v = FolderOf(back.Tree.Root(0));
    EXPECT_EQ(v->Serial, "1234ABCD");
    ASSERT_EQ(v->ItemsCount(), 2);
    TLibFolderItem* s = v->FindItem("song.mp3");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Size, 3000000000LL);
    EXPECT_EQ(s->Date, 45000.5);
    EXPECT_EQ(s->Comments, "line1\r\nline2");
    EXPECT_EQ(s->TagInfo.Text(), "Title=Morning\r\nDurationSec=215.379591836735\r\n");
    TLibColItem* link = ColItemOf(back.ColTree.Root(0)->Child(0));
    EXPECT_EQ(link->LinkedItem, s);
    EXPECT_EQ(back.EntryLink(s), link->Node);
    EXPECT_EQ(ColItemOf(back.ColTree.Root(0))->URL, "https://example.org/");
    EXPECT_TRUE(TotalsAreConsistent(back));
    SaveToFile(back, dir.File("d.txc"), quiet);
    EXPECT_EQ(ReadFile(dir.File("c.txc")), ReadFile(dir.File("d.txc")));
}

TEST(CatalogFile, OldVersionLoadsWithoutTagsAndMarksModified) {
    TTempFolder dir;
    WriteFile(dir.File("old.txc"), TCatalogBytes()
                                       .Header("Tamblix 2.2", 1, 0, 1)
                                       .Folder("CD1", 0, 0, 1, 0, "D:\\")
                                       .Entry("a.txt", 5, false)
                                       .S("Music")
                                       .data);
    TLibObj lib;
    LoadFromFile(lib, dir.File("old.txc"), false, quiet);
    EXPECT_TRUE(lib.Modified);
    EXPECT_TRUE(FolderOf(lib.Tree.Root(0))->Item(0)->TagInfo.Empty());
    EXPECT_EQ(lib.Categories.Lines(), std::vector<std::string>{"Music"});
    SaveToFile(lib, dir.File("new.txc"), quiet);
    EXPECT_EQ(ReadCatalogVersion(dir.File("new.txc")), "Tamblix 2.3");
    EXPECT_EQ(ReadFile(dir.File("new.txc")).size(), 127u + 4 + 5);
}

namespace {

// Each folder entry and folder node with "A" for an archive, "F" for a folder.
std::vector<std::string> ArchiveMarks(const TLibObj& lib) {
    std::vector<std::string> out;
    lib.Tree.ForEach([&](TTreeNode* n) {
        const TLibFolder* f = FolderOf(n);
        if (f->Parent) out.push_back(GetCatalogPath(f) + (IsArchiveFolder(f) ? " A" : " F"));
        for (const auto& e : f->Items())
            if (e->IsFolder)
                out.push_back(e->Caption.str() + (IsArchiveEntry(e.get()) ? " A" : " F"));
    });
    return out;
}

} // namespace

// Files written before archives were marked: a folder entry named like an
// archive is one, as it always was, and saving writes the same bytes again.
TEST(CatalogFile, OlderFilesKeepTheNameRuleAndSaveUnchanged) {
    TTempFolder dir;
    const std::string old = TCatalogBytes()
                                .Header("Tamblix 2.3", 4, 0, 0)
                                .Folder("CD1", 0, 0, 4, 0, "D:\\")
                                .Entry("comic.cbz", 70, true)
                                .Entry("docs", 0, true, 1)
                                .Entry("pack.zip", 50, true, 1)
                                .Entry("photos.zip", 0, true, 1)
                                .Folder("docs", 1, 1, 0, 1)
                                .Folder("pack.zip", 1, 1, 1, 2)
                                .Entry("in.txt", 3, true)
                                .Folder("photos.zip", 1, 1, 0, 3)
                                .data;
    WriteFile(dir.File("old.txc"), old);
    TLibObj lib;
    LoadFromFile(lib, dir.File("old.txc"), false, quiet);
    EXPECT_EQ(ArchiveMarks(lib),
              (std::vector<std::string>{"docs F", "pack.zip A", "photos.zip A", "CD1\\docs\\ F",
                                        "CD1\\pack.zip\\ A", "CD1\\photos.zip\\ A"}));
    EXPECT_FALSE(IsArchiveEntry(FolderOf(lib.Tree.Root(0))->FindItem("comic.cbz")));
    SaveToFile(lib, dir.File("again.txc"), quiet);
    EXPECT_EQ(ReadFile(dir.File("again.txc")), old);
}

// A scan's marks where the name misleads: stored as 2 (archive) and 3 (folder),
// which builds that know only 0 and 1 still read as folder entries.
TEST(CatalogFile, ArchiveMarksRoundTrip) {
    TTempFolder dir;
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* cd = NewVolume(lib, "CD1", "D:\\");
    b.Archive(cd, "comic.cbz", 70);
    b.Folder(cd, "photos.zip");
    b.Archive(cd, "pack.zip", 50);
    SaveToFile(lib, dir.File("marks.txc"), quiet);
    const std::string expected = TCatalogBytes()
                                     .Header("Tamblix 2.3", 4, 0, 0)
                                     .Folder("CD1", 0, 0, 3, 0, "D:\\")
                                     .Entry("comic.cbz", 70, true, 2)
                                     .Entry("pack.zip", 50, true, 1)
                                     .Entry("photos.zip", 0, true, 3)
                                     .Folder("comic.cbz", 1, 1, 0, 1)
                                     .Folder("pack.zip", 1, 1, 0, 2)
                                     .Folder("photos.zip", 1, 1, 0, 3)
                                     .data;
    EXPECT_EQ(ReadFile(dir.File("marks.txc")), expected);
    TLibObj loaded;
    LoadFromFile(loaded, dir.File("marks.txc"), false, quiet);
    const std::vector<std::string> marks = {"comic.cbz A",       "pack.zip A",
                                            "photos.zip F",      "CD1\\comic.cbz\\ A",
                                            "CD1\\pack.zip\\ A", "CD1\\photos.zip\\ F"};
    EXPECT_EQ(ArchiveMarks(loaded), marks);
    // A node whose entry is missing from its parent's list falls back to the name.
    WriteFile(dir.File("orphan.txc"), TCatalogBytes()
                                          .Header("Tamblix 2.3", 3, 0, 0)
                                          .Folder("CD1", 0, 0, 0, 0, "D:\\")
                                          .Folder("a.rar", 1, 1, 0, 1)
                                          .Folder("b", 1, 1, 0, 2)
                                          .data);
    TLibObj orphan;
    LoadFromFile(orphan, dir.File("orphan.txc"), false, quiet);
    EXPECT_EQ(ArchiveMarks(orphan), (std::vector<std::string>{"CD1\\a.rar\\ A", "CD1\\b\\ F"}));
}

TEST(CatalogFile, LevelPlacement) {
    TTempFolder dir;
    // V0, a(1), b(2), c(3), d(1) -> d is a sibling of a; then another volume.
    WriteFile(dir.File("lv.txc"), TCatalogBytes()
                                      .Header("Tamblix 2.3", 6, 0, 0)
                                      .Folder("V0", 0, 0, 0, 0)
                                      .Folder("a", 1, 1, 0, 1)
                                      .Folder("b", 2, 1, 0, 2)
                                      .Folder("c", 3, 1, 0, 3)
                                      .Folder("d", 1, 1, 0, 4)
                                      .Folder("W", 0, 0, 0, 5)
                                      .data);
    TLibObj lib;
    LoadFromFile(lib, dir.File("lv.txc"), false, quiet);
    ASSERT_EQ(lib.Tree.RootCount(), 2);
    TTreeNode* v0 = lib.Tree.Root(0);
    ASSERT_EQ(v0->Count(), 2);
    EXPECT_EQ(v0->Child(0)->Text(), "a");
    EXPECT_EQ(v0->Child(1)->Text(), "d");
    EXPECT_EQ(v0->Child(0)->Child(0)->Child(0)->Text(), "c");
    EXPECT_EQ(FolderOf(v0->Child(1))->Parent, FolderOf(v0));
    EXPECT_EQ(lib.Tree.Root(1)->Text(), "W");
}

TEST(CatalogFile, RelinkingUsesIndexAndExactLinkPath) {
    TTempFolder dir;
    WriteFile(dir.File("l.txc"), TCatalogBytes()
                                     .Header("Tamblix 2.3", 2, 4, 0)
                                     .Folder("CD", 0, 0, 0, 0)
                                     .Folder("sub", 1, 1, 2, 1)
                                     .Entry("f.txt", 1, true)
                                     .Entry("g.txt", 1, true)
                                     .Col("group", -1, 0, -1, "")
                                     .Col("sub", 1, 1, 1, "CD\\sub\\")
                                     .Col("g", 2, 1, 1, "CD\\sub\\g.txt")
                                     .Col("gone", 2, 1, 1, "CD\\sub\\G.TXT")
                                     .data);
    TLibObj lib;
    LoadFromFile(lib, dir.File("l.txc"), false, quiet);
    TTreeNode* group = lib.ColTree.Root(0);
    ASSERT_EQ(group->Count(), 3);
    TLibFolder* sub = FolderOf(lib.Tree.Root(0)->Child(0));
    TLibColItem* folderLink = ColItemOf(group->FindChild("sub"));
    EXPECT_EQ(folderLink->LinkedFolder, sub);
    EXPECT_EQ(sub->CollectionNode, folderLink->Node);
    EXPECT_EQ(ColItemOf(group->FindChild("g"))->LinkedItem, sub->FindItem("g.txt"));
    TLibColItem* gone = ColItemOf(group->FindChild("gone"));
    EXPECT_EQ(gone->LinkedItem, nullptr); // stays in the tree, unlinked
}

TEST(CatalogFile, AppendAddsRootsAndRelinksOnlyItsOwnRecords) {
    TTempFolder dir;
    TLibObj a;
    TTreeNode* va = NewVolume(a, "A", "/a/");
    NewFile(a, va, "x", 1);
    a.LinkFolder(nullptr, FolderOf(va));
    a.Categories.Add("one");
    SaveToFile(a, dir.File("a.txc"), quiet);
    TLibObj b;
    TTreeNode* vb = NewVolume(b, "B", "/b/");
    NewFile(b, vb, "y", 2);
    b.LinkFolder(nullptr, FolderOf(vb));
    b.Categories.Add("two");
    SaveToFile(b, dir.File("b.txc"), quiet);

    TLibObj lib;
    LoadFromFile(lib, dir.File("a.txc"), false, quiet);
    LoadFromFile(lib, dir.File("b.txc"), true, quiet);
    EXPECT_EQ(lib.FileName, dir.File("a.txc"));
    EXPECT_TRUE(lib.Modified);
    EXPECT_EQ(lib.Tree.RootCount(), 2);
    EXPECT_EQ(lib.Categories.Count(), 2);
    // Both catalogs numbered their volume 0; each link must reach its own.
    for (int i = 0; i < lib.ColTree.RootCount(); ++i) {
        TLibColItem* c = ColItemOf(lib.ColTree.Root(i));
        ASSERT_NE(c->LinkedFolder, nullptr);
        EXPECT_EQ(c->LinkedFolder->Caption, c->Caption);
    }
    EXPECT_TRUE(TotalsAreConsistent(lib));
    EXPECT_EQ(FolderOf(lib.Tree.Root(1))->VolumeSize, 2);
}

TEST(CatalogFile, LinkPathFollowsRenamedVolume) {
    TTempFolder dir;
    TLibObj lib;
    TTreeNode* v = NewVolume(lib, "Old", "/o/");
    TLibFolderItem* f = NewFile(lib, v, "f.txt", 1);
    lib.LinkEntry(nullptr, FolderOf(v), f);
    lib.RenameVolume(v, "New");
    SaveToFile(lib, dir.File("r.txc"), quiet);
    TLibObj back;
    LoadFromFile(back, dir.File("r.txc"), false, quiet);
    EXPECT_NE(ColItemOf(back.ColTree.Root(0))->LinkedItem, nullptr);
}

TEST(CatalogFile, StoppedOrFailedSaveKeepsTheOldFile) {
    TTempFolder dir;
    TLibObj lib;
    TTreeNode* v = NewVolume(lib, "V", "/v/");
    for (int i = 0; i < 50; ++i)
        NewFile(lib, v, "f" + std::to_string(i), i);
    SaveToFile(lib, dir.File("keep.txc"), quiet);
    std::string before = ReadFile(dir.File("keep.txc"));
    NewFile(lib, v, "extra", 1);
    lib.Modified = true;
    TRecordingProgress stop;
    stop.StopAfterPolls = 10;
    EXPECT_EQ(ErrorKey([&] { SaveToFile(lib, dir.File("keep.txc"), stop); }), "infoCancel");
    EXPECT_EQ(ReadFile(dir.File("keep.txc")), before);
    EXPECT_TRUE(lib.Modified);
    EXPECT_EQ(ErrorKey([&] { SaveToFile(lib, dir.File("no/such/dir/x.txc"), quiet); }), "errWrite");
    EXPECT_EQ(lib.FileName, dir.File("keep.txc"));
    // No stray temporary files.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(CatalogFile, LongTextIsCutAtACharacterBoundary) {
    TTempFolder dir;
    TLibObj lib;
    TTreeNode* v = NewVolume(lib, "V", "/v/");
    TLibFolderItem* f = NewFile(lib, v, "f", 1);
    std::string text = "a";
    while (text.size() < 70000)
        text += "\xc3\xa9"; // two-byte characters, off by one
    f->Comments = text;
    SaveToFile(lib, dir.File("long.txc"), quiet);
    TLibObj back;
    LoadFromFile(back, dir.File("long.txc"), false, quiet);
    std::string got = FolderOf(back.Tree.Root(0))->Item(0)->Comments.str();
    EXPECT_EQ(got.size(), 65535u);
    EXPECT_EQ(got, text.substr(0, 65535));
}

TEST(CatalogFile, DamagedFilesGiveClearErrorsAndProtectTheFile) {
    TTempFolder dir;
    auto load = [&](const std::string& bytes, TLibObj& lib) {
        WriteFile(dir.File("bad.txc"), bytes);
        return ErrorKey([&] { LoadFromFile(lib, dir.File("bad.txc"), false, quiet); });
    };
    {
        TLibObj lib;
        std::string good = TCatalogBytes()
                               .Header("Tamblix 2.3", 2, 0, 0)
                               .Folder("V", 0, 0, 1, 0)
                               .Entry("a", 1, true)
                               .data;
        EXPECT_EQ(load(good.substr(0, good.size() - 3), lib), "errDamaged");
        EXPECT_EQ(lib.Tree.RootCount(), 1); // what was read stays visible
        EXPECT_TRUE(lib.FileName.empty());  // so a plain Save cannot overwrite the damaged file
    }
    {
        TLibObj lib;
        EXPECT_EQ(load(TCatalogBytes().Header("Tamblix 2.3", 1, 0, 0).I32(-5).data, lib),
                  "errDamaged");
        // A whole, well-formed file whose one string is longer than the limit; at the
        // limit itself, the same file loads.
        auto withCaption = [](size_t length) {
            return TCatalogBytes()
                .Header("Tamblix 2.3", 1, 0, 0)
                .Folder(std::string(length, 'x'), 0, 0, 0, 0)
                .data;
        };
        EXPECT_EQ(load(withCaption(70000), lib), "errDamaged");
        EXPECT_EQ(load(withCaption(65537), lib), "errDamaged");
        TLibObj longest;
        EXPECT_EQ(load(withCaption(65536), longest), "");
        EXPECT_EQ(longest.Tree.RootCount(), 1);
        EXPECT_EQ(load(TCatalogBytes()
                           .Header("Tamblix 2.3", 2, 0, 0)
                           .Folder("V", 0, 0, 0, 0)
                           .Folder("x", 2, 1, 0, 1)
                           .data,
                       lib),
                  "errDamaged");
        EXPECT_EQ(
            load(
                TCatalogBytes().Header("Tamblix 2.3", 1, 0, 0).Folder("V", 0, 0, 100000000, 0).data,
                lib),
            "errDamaged");
        EXPECT_EQ(load(TCatalogBytes().Header("Tamblix 2.3", 2000000000, 0, 0).data, lib),
                  "errDamaged");
        EXPECT_EQ(load(TCatalogBytes().Header("Tamblix 9.9", 0, 0, 0).data, lib), "errWrongFile");
        EXPECT_EQ(load("", lib), "errDamaged");
    }
    TLibObj lib;
    TFixedAnswers yes;
    WriteFile(dir.File("v.txc"), TCatalogBytes().Header("Other 1.0", 0, 0, 0).data);
    EXPECT_EQ(ErrorKey([&] { OpenLibrary(lib, dir.File("v.txc"), false, false, quiet, yes); }),
              "errUnknownFile");
    EXPECT_FALSE(OpenLibrary(lib, dir.File("missing.txc"), false, false, quiet, yes));
}

// A count that the rest of the file cannot hold is refused where it is read,
// before room is made for it or a record is read; the message names it.
TEST(CatalogFile, CountsTheFileCannotHoldAreRefusedAtOnce) {
    TTempFolder dir;
    auto message = [&](const std::string& bytes) {
        WriteFile(dir.File("bad.txc"), bytes);
        TLibObj lib;
        try {
            LoadFromFile(lib, dir.File("bad.txc"), false, quiet);
        } catch (const EMessageError& e) {
            return e.Arg;
        }
        return std::string("loaded");
    };
    const std::string entries = message(
        TCatalogBytes().Header("Tamblix 2.3", 1, 0, 0).Folder("V", 0, 0, 100000000, 0).data);
    EXPECT_NE(entries.find("(a count of 100000000 entries at byte "), std::string::npos) << entries;
    const std::string folders =
        message(TCatalogBytes().Header("Tamblix 2.3", 2000000000, 0, 0).data);
    EXPECT_NE(folders.find("(a count of 2000000000 folders at byte "), std::string::npos)
        << folders;
}

TEST(CatalogFile, SaveQuestions) {
    TTempFolder dir;
    TLibObj lib;
    NewVolume(lib, "V", "/v/");
    lib.Modified = true;
    TFixedAnswers cancel(TAnswer::Cancel);
    TFixedAnswers yesNoPath(TAnswer::Yes, "");
    EXPECT_EQ(QuerySaveChanges(lib, quiet, cancel), TAnswer::Cancel);
    // Yes, but Save As is cancelled: the changes must not be discarded.
    EXPECT_EQ(QuerySaveChanges(lib, quiet, yesNoPath), TAnswer::Cancel);
    TFixedAnswers yesPath(TAnswer::Yes, dir.File("q.txc"));
    EXPECT_EQ(QuerySaveChanges(lib, quiet, yesPath), TAnswer::Yes);
    EXPECT_FALSE(lib.Modified);
    // The catalog's own file is saved over without "confReplace"; another
    // existing file is asked about, and Cancel leaves it alone.
    lib.Modified = true;
    struct TReplaceNo : TFixedAnswers {
        TAnswer Ask(const std::string& key, const std::string& a, TButtons b) override {
            return key == "confReplace" ? TAnswer::Cancel : TFixedAnswers::Ask(key, a, b);
        }
    } replaceNo;
    EXPECT_EQ(QuerySaveChanges(lib, quiet, replaceNo), TAnswer::Yes);
    EXPECT_FALSE(lib.Modified);
    const std::string other = dir.File("other.txc");
    ASSERT_TRUE(WriteFile(other, "someone else's"));
    EXPECT_FALSE(SaveWithConfirm(lib, other, quiet, replaceNo));
    EXPECT_EQ(ReadFile(other), "someone else's");
    lib.Options.ConfirmSaveChanges = false;
    EXPECT_EQ(QuerySaveChanges(lib, quiet, cancel), TAnswer::Yes);
}

TEST(CatalogFile, UnmatchedFileLinkKeepsItsPathAndLinksOnceTheEntryIsBack) {
    TTempFolder dir;
    dir.Write("l.txc", TCatalogBytes()
                           .Header("Tamblix 2.3", 2, 2, 0)
                           .Folder("CD", 0, 0, 0, 0)
                           .Folder("sub", 1, 1, 1, 1)
                           .Entry("f.txt", 1, true)
                           .Col("gone", 2, 0, 1, "CD\\sub\\later.txt")
                           .Col("lost", 1, 0, 7, "CD\\elsewhere\\")
                           .data);
    TLibObj lib;
    LoadFromFile(lib, dir.File("l.txc"), false, quiet);
    SaveToFile(lib, dir.File("again.txc"), quiet);
    TLibObj back;
    LoadFromFile(back, dir.File("again.txc"), false, quiet);
    EXPECT_EQ(ColItemOf(FindNodeByText(back.ColTree, "gone"))->LinkPath, "CD\\sub\\later.txt");
    EXPECT_EQ(ColItemOf(FindNodeByText(back.ColTree, "lost"))->LinkPath, "CD\\elsewhere\\");

    // An update brings the file back: the next load links it.
    NewFile(back, back.Tree.Root(0)->Child(0), "later.txt", 5);
    SaveToFile(back, dir.File("third.txc"), quiet);
    TLibObj third;
    LoadFromFile(third, dir.File("third.txc"), false, quiet);
    TLibColItem* gone = ColItemOf(FindNodeByText(third.ColTree, "gone"));
    ASSERT_NE(gone->LinkedItem, nullptr);
    EXPECT_EQ(gone->LinkedItem->Caption.view(), "later.txt");
}

TEST(CatalogFile, EntriesInAnyOrderLoadSortedWithoutDuplicates) {
    TTempFolder dir;
    TCatalogBytes b;
    b.Header("Tamblix 2.3", 2, 0, 0).Folder("V", 0, 0, 7, 0);
    b.Entry("b", 2, true).Entry("B", 3, true).Entry("a", 1, true);
    b.Entry("b", 50, true).Entry("Zed", 4, true).Entry("c", 5, true).Entry("s", 0, true, true);
    b.Folder("s", 1, 1, 3, 1).Entry("z", 1, true).Entry("Y", 1, true).Entry("x", 1, true);
    dir.Write("o.txc", b.data);
    TLibObj lib;
    LoadFromFile(lib, dir.File("o.txc"), false, quiet);
    TLibFolder* v = FolderOf(lib.Tree.Root(0));
    std::vector<std::string> names;
    for (const auto& e : v->Items())
        names.push_back(e->Caption.str());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "b", "c", "s", "Zed"}));
    EXPECT_EQ(v->FindItem("b")->Size, 2); // the first of two equal names is kept
    EXPECT_EQ(v->VolumeSize, 1 + 2 + 3 + 4 + 5 + 3);
    EXPECT_EQ(lib.TotalSize, 1 + 2 + 3 + 4 + 5 + 3);
    TLibFolder* sub = FolderOf(lib.Tree.Root(0)->Child(0));
    ASSERT_EQ(sub->ItemsCount(), 3); // stored in reverse order
    EXPECT_EQ(sub->Item(0)->Caption.view(), "x");
    EXPECT_EQ(sub->Item(2)->Caption.view(), "z");
}

// 100,000 levels of folders and of collections: load, save, reload and free
// them with no recursion per level.
TEST(CatalogFile, VeryDeepCatalogsLoadSaveAndFree) {
    constexpr int kDepth = 100000;
    TTempFolder dir;
    TCatalogBytes b;
    b.Header("Tamblix 2.3", kDepth, kDepth, 0);
    for (int i = 0; i < kDepth; ++i) {
        b.Folder("d", i, i == 0 ? 0 : 1, i + 1 < kDepth ? 1 : 2, i, i == 0 ? "/m/" : "");
        if (i + 1 < kDepth)
            b.Entry("d", 0, true, true);
        else
            b.Entry("x", 7, true).Entry("y", 8, true);
    }
    for (int i = 0; i < kDepth; ++i)
        b.Col("c", -1, i, -1, "");
    dir.Write("deep.txc", b.data);
    {
        TLibObj lib;
        LoadFromFile(lib, dir.File("deep.txc"), false, quiet);
        EXPECT_EQ(lib.Tree.TotalCount(), kDepth);
        EXPECT_EQ(FolderOf(lib.Tree.Root(0))->VolumeSize, 15);
        TTreeNode* n = lib.Tree.NodeAt(kDepth - 1);
        ASSERT_NE(n, nullptr);
        std::string path = GetCatalogPath(FolderOf(n));
        EXPECT_EQ(path.size(), 2u * kDepth);
        EXPECT_EQ(GetSourcePath(FolderOf(n)).size(), 3u + 2u * (kDepth - 1));
        EXPECT_EQ(FindFolderByCatalogPath(lib, path), n);
        SaveToFile(lib, dir.File("again.txc"), quiet);
        TLibObj back;
        LoadFromFile(back, dir.File("again.txc"), false, quiet);
        EXPECT_EQ(back.Tree.TotalCount(), kDepth);
        EXPECT_EQ(back.ColTree.TotalCount(), kDepth);
        EXPECT_EQ(ColItemOf(back.ColTree.NodeAt(kDepth - 1))->Level, kDepth - 1);
        lib.DeleteNodes({lib.Tree.Root(0)->Child(0)});
        EXPECT_EQ(lib.Tree.TotalCount(), 1);
        EXPECT_EQ(FolderOf(lib.Tree.Root(0))->VolumeSize, 0);
    }
    TLibObj lib;
    LoadFromFile(lib, dir.File("deep.txc"), false, quiet);
    lib.Clear();
    EXPECT_EQ(lib.Tree.TotalCount(), 0);
}

TEST(CatalogFile, NegativeSizeIsDamageAtItsOffset) {
    TTempFolder dir;
    TCatalogBytes b;
    b.Header("Tamblix 2.3", 1, 0, 0).Folder("V", 0, 0, 2, 0).Entry("a", 1, true);
    const size_t at = b.data.size() + 4 + 1 + 8; // after the next entry's caption and date
    b.Entry("b", -1, true);
    dir.Write("neg.txc", b.data);
    TLibObj lib;
    try {
        LoadFromFile(lib, dir.File("neg.txc"), false, quiet);
        FAIL() << "a negative size loaded";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, "errDamaged");
        EXPECT_NE(e.Arg.find("at byte " + std::to_string(at) + ")"), std::string::npos) << e.Arg;
    }
    // What came before the damage stays, with its size.
    ASSERT_EQ(lib.Tree.RootCount(), 1);
    EXPECT_EQ(FolderOf(lib.Tree.Root(0))->ItemsCount(), 1);
    EXPECT_EQ(lib.TotalSize, 1);
}

// Sizes a crafted file claims near 2^63: every sum stops at the largest value
// instead of wrapping to a negative total.
TEST(CatalogFile, HugeSizesSaturateEverySum) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    TTempFolder dir;
    TCatalogBytes b;
    b.Header("Tamblix 2.3", 2, 0, 0).Folder("V", 0, 0, 3, 0, "/v/");
    b.Entry("a", kMax - 1, true).Entry("b", kMax - 2, true).Entry("s", 0, true, true);
    b.Folder("s", 1, 1, 2, 1).Entry("c", kMax, true).Entry("d", kMax, true);
    dir.Write("big.txc", b.data);
    TLibObj lib;
    LoadFromFile(lib, dir.File("big.txc"), false, quiet);
    TLibFolder* v = FolderOf(lib.Tree.Root(0));
    TLibFolder* s = FolderOf(lib.Tree.Root(0)->Child(0));
    EXPECT_EQ(v->VolumeSize, kMax);
    EXPECT_EQ(s->ItemsSize, kMax);
    EXPECT_EQ(lib.TotalSize, kMax);
    EXPECT_EQ(DirectItemsSize(s), kMax);
    EXPECT_EQ(FolderDisplaySize(v), kMax);
    std::atomic<bool> stop{false};
    EXPECT_EQ(TotalFileSize(lib, nullptr, stop), kMax);

    // Changing and removing entries never drives a total below zero.
    // A total that reached the largest value is a bound from then on: taking
    // an entry's size off it leaves what is left, never less than zero.
    lib.SetEntrySize(s->FindItem("c"), 1);
    EXPECT_EQ(s->ItemsSize, 1);
    lib.DeleteEntries(s, {s->FindItem("c"), s->FindItem("d")});
    EXPECT_EQ(s->ItemsSize, 0);
    EXPECT_GE(v->VolumeSize, 0);
    SaveToFile(lib, dir.File("again.txc"), quiet);
    TLibObj back;
    LoadFromFile(back, dir.File("again.txc"), false, quiet);
    EXPECT_EQ(FolderOf(back.Tree.Root(0))->FindItem("a")->Size, kMax - 1);
}
