#include "catalog/catalog_file.h"
#include "search/delimited_text.h"
#include "search/export.h"
#include "search/import.h"
#include "settings/settings_store.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

Lines FileLines(const std::string& path) {
    Lines out;
    const std::string text = ReadFile(path);
    for (auto l : SplitLines(text))
        out.emplace_back(l);
    return out;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        TCatalogBuilder b(lib);
        vol = b.Volume("CD1", "Shelf", "1234ABCD");
        b.File(vol, "top.txt", 2048, Day("2020-01-02 03:04:05"), "cat \"q\"", "two\nlines");
        sub = b.Folder(vol, "sub", Day("2020-01-01"));
        b.File(sub, "a, b.mp3", 1536);
        sub2 = b.Folder(sub, "sub2");
        b.File(sub2, "deep.txt", 10);
        TTreeNode* an = b.Archive(vol, "pack.zip", 500);
        b.File(an, "member.doc", 7);
        o.FileName = tmp.File("out.txt");
        o.Fields.clear();
    }
    void Fields(const Lines& names) {
        for (const auto& n : names)
            o.Fields.push_back({n, true});
    }
    Lines Export(TExportScope scope = TExportScope::Library,
                 const std::vector<TTreeNode*>& sel = {}, TSearchResults* res = nullptr) {
        RunExport(lib, o, scope, sel, res, progress);
        return FileLines(o.FileName);
    }

    TTempFolder tmp;
    TLibObj lib;
    TTreeNode *vol = nullptr, *sub = nullptr, *sub2 = nullptr;
    TExportOptions o;
    TRecordingProgress progress;
};

TEST_F(ExportTest, EveryTextColumnIsEnclosedWithTheQualifierDoubled) {
    Fields({"Volume", "VolumeSerialNo", "Path", "Name", "FilePath", "Type", "Size", "Date",
            "Category", "Comments", "Location", "Unknown"});
    Lines l = Export();
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[0], "\"CD1\",\"1234ABCD\",\"CD1\\\",\"pack.zip\",\"CD1\\pack.zip\",\"\",500,,\"\","
                    "\"\",\"Shelf\"");
    EXPECT_EQ(l[2], "\"CD1\",\"1234ABCD\",\"CD1\\\",\"top.txt\",\"CD1\\top.txt\",\"txt\",2 048,"
                    "2020-01-02 03:04:05,\"cat \"\"q\"\"\",\"two;lines\",\"Shelf\"");
    EXPECT_EQ(progress.Logged.back(), "Exported: " + o.FileName);
}

TEST_F(ExportTest, DefaultFilterLeavesOutArchiveMembersOnly) {
    Fields({"Path", "Name"});
    o.Qualifier = "  ";
    EXPECT_EQ(Export(),
              (Lines{"CD1\\,pack.zip", "CD1\\,sub", "CD1\\,top.txt", "CD1\\sub\\,a, b.mp3",
                     "CD1\\sub\\,sub2", "CD1\\sub\\sub2\\,deep.txt"}));
}

TEST_F(ExportTest, ArchivesWithoutFoldersWriteMembersButNoFolderEntries) {
    Fields({"Name"});
    o.Qualifier = "";
    o.Archives = true;
    EXPECT_EQ(Export(), (Lines{"top.txt", "member.doc", "a, b.mp3", "deep.txt"}));
}

TEST_F(ExportTest, FoldersOnlyAndTotals) {
    Fields({"Name", "Size"});
    o.Folders = true;
    o.FoldersOnly = true;
    o.FolderTotals = true;
    EXPECT_EQ(Export(), (Lines{"\"pack.zip\",7", "\"sub\",1 536", "\"sub2\",10"}));
    o.FoldersOnly = false;
    o.FolderTotals = false;
    EXPECT_EQ(Export().size(), 7u); // members too
}

TEST_F(ExportTest, LevelLimitAndIndent) {
    Fields({"Name"});
    o.Qualifier = "";
    o.LevelsUse = true;
    o.Levels = 1; // the folder entry sub2 lives on level 2
    EXPECT_EQ(Export(), (Lines{"pack.zip", "sub", "top.txt", "a, b.mp3"}));
    o.LevelsUse = false;
    o.Indent = true;
    o.Separator = "Tab";
    EXPECT_EQ(Export(), (Lines{"pack.zip", "sub", "top.txt", "a, b.mp3", "\tsub2", "\tdeep.txt"}));
}

TEST_F(ExportTest, SeparatorsNewLineTypedAndUnitWords) {
    Fields({"Name", "Size"});
    o.Qualifier = "";
    o.SizeUnit = 1;
    o.KBText = "KiB";
    std::vector<TTreeNode*> sel{sub2};
    EXPECT_EQ(Export(TExportScope::Selection, sel), (Lines{"deep.txt,0 KiB"}));
    o.Separator = "New Line";
    o.SizeUnit = 0;
    EXPECT_EQ(Export(TExportScope::Selection, sel), (Lines{"deep.txt", "10"}));
    o.Separator = ";;";
    EXPECT_EQ(Export(TExportScope::Selection, sel), (Lines{"deep.txt;;10"}));
    o.Fields.clear(); // nothing ticked: an empty file
    EXPECT_EQ(Export(TExportScope::Selection, sel), Lines{});
}

TEST_F(ExportTest, SelectionWritesEachFolderBelowItsOwnLine) {
    Fields({"Name"});
    o.Qualifier = "";
    std::vector<TTreeNode*> sel{sub};
    EXPECT_EQ(Export(TExportScope::Selection, sel), (Lines{"a, b.mp3", "sub2", "deep.txt"}));
    // A folder entry without a node of its own has nothing below it.
    TCatalogBuilder(lib).File(sub2, "lost", 0)->IsFolder = 1;
    EXPECT_EQ(Export(TExportScope::Selection, sel),
              (Lines{"a, b.mp3", "sub2", "deep.txt", "lost"}));
}

TEST_F(ExportTest, ResultsInTheirOrderAndNothingFromAStaleSet) {
    Fields({"Name"});
    o.Qualifier = "";
    TNullProgress quiet;
    TSearchEngine engine(lib, quiet);
    TSearchResults res(lib);
    TSearchCriteria c;
    c.Type = "txt";
    engine.Run(c, res);
    TSortState st;
    SortRows(res.Rows, kColSize, st);
    EXPECT_EQ(Export(TExportScope::Results, {}, &res), (Lines{"deep.txt", "top.txt"}));
    lib.DeleteNodes({sub2});
    EXPECT_EQ(Export(TExportScope::Results, {}, &res), Lines{});
}

TEST_F(ExportTest, RefusesTheOpenCatalogAndAnEmptyName) {
    Fields({"Name"});
    TNullProgress quiet;
    std::string cat = tmp.File("lib.txc");
    SaveToFile(lib, cat, quiet);
    lib.FileName = cat;
    std::string before = ReadFile(cat);
    o.FileName = tmp.Path() + "/./lib.txc";
    EXPECT_THROW(Export(), EMessageError);
    EXPECT_EQ(ReadFile(cat), before);
    EXPECT_EQ(progress.Logged.back(), "Export failed: " + o.FileName);
    o.FileName.clear();
    try {
        Export();
        FAIL();
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, "errFileEmpty");
    }
}

TEST_F(ExportTest, OptionsLiveUnderTheDialogKey) {
    TMemorySettingsStore store;
    TExportOptions a;
    EXPECT_STREQ(TExportOptions::kDefaultExtension, "TXT");
    a.FileName = "x.txt";
    a.Separator = "|";
    a.Qualifier = "'";
    a.SizeUnit = 2;
    a.LevelsUse = true;
    a.Levels = 3;
    a.Archives = a.Folders = a.FoldersOnly = a.FolderTotals = a.Indent = true;
    std::swap(a.Fields[0], a.Fields[3]);
    a.Fields[0].Checked = false;
    a.Save(store);
    EXPECT_EQ(store.ReadString("frmExport\\Fields\\0", "Name", ""), "Name");
    EXPECT_EQ(store.ReadString("frmExport", "Txt Separator", ""), "'");
    EXPECT_TRUE(store.ReadBool("frmExport", "Archives as file", false));
    TExportOptions b;
    b.Load(store);
    EXPECT_EQ(b.Fields[0].Name, "Name");
    EXPECT_FALSE(b.Fields[0].Checked);
    EXPECT_EQ(b.Separator, "|");
    EXPECT_EQ(b.Levels, 3);
    EXPECT_TRUE(b.Indent && b.FoldersOnly && b.FolderTotals && b.Folders && b.Archives);
    TImportOptions i;
    i.Fields[0].Checked = false; // "Volume" is always ticked
    i.Save(store);
    TImportOptions j;
    j.Load(store);
    EXPECT_TRUE(j.Fields[0].Checked);
    EXPECT_TRUE(store.ValueExists("frmImport", "Separator"));
}

TEST(DelimitedText, SplitReadsDoubledQualifiersAndKeepsLoneOnes) {
    EXPECT_EQ(SplitDelimited("\"a, b\",\"say \"\"hi\"\"\",3", ",", "\""),
              (Lines{"a, b", "say \"hi\"", "3"}));
    EXPECT_EQ(SplitDelimited("\"my \"best\" song\",x", ",", "\""),
              (Lines{"my \"best\" song", "x"}));
    EXPECT_EQ(SplitDelimited("a;;b;;", ";;", ""), (Lines{"a", "b", ""}));
    EXPECT_EQ(SplitDelimited("\"open,x", ",", "\""), (Lines{"open,x"}));
    EXPECT_EQ(SplitDelimited("", ",", "\""), (Lines{""}));
    for (std::string v : {"", "\"", "\"\"", ",\",", "a\"", "\"a"}) {
        std::string line = QuoteField(v, "\"") + "," + QuoteField(v, "\"");
        EXPECT_EQ(SplitDelimited(line, ",", "\""), (Lines{v, v})) << v;
    }
}

TEST(DelimitedText, SizesAreSixtyFourBitAndTakeTheirUnit) {
    int64_t v = 0;
    EXPECT_TRUE(ParseSizeText("3 000 000 000", v));
    EXPECT_EQ(v, 3000000000);
    EXPECT_TRUE(ParseSizeText("1 234 567", v));
    EXPECT_EQ(v, 1234567);
    EXPECT_TRUE(ParseSizeText("2 KB", v));
    EXPECT_EQ(v, 2048);
    EXPECT_TRUE(ParseSizeText("1.50 mb", v));
    EXPECT_EQ(v, 1572864);
    EXPECT_TRUE(ParseSizeText("3 Kio", v, "Kio", "Mio"));
    EXPECT_EQ(v, 3072);
    EXPECT_FALSE(ParseSizeText("99999999999999999999", v));
    EXPECT_FALSE(ParseSizeText("12x", v));
    EXPECT_FALSE(ParseSizeText("", v));
    EXPECT_FALSE(ParseSizeText("KB", v));
}

class ImportTest : public ::testing::Test {
protected:
    TImportResult Import(const std::string& text) {
        WriteFile(o.FileName, text);
        return RunImport(lib, o, progress);
    }
    std::string Ls(const std::string& path) {
        TTreeNode* n = FindFolderByCatalogPath(lib, path);
        if (!n) return "<none>";
        std::string out;
        for (const auto& e : FolderOf(n)->Items())
            out +=
                e->Caption.str() + (e->IsFolder ? "/" : "") + "=" + std::to_string(e->Size) + " ";
        return out;
    }
    void SetUp() override {
        o.FileName = tmp.File("in.txt");
        SetFieldOrder(o.Fields, {"Volume", "Path", "Name", "Size"});
    }
    TTempFolder tmp;
    TLibObj lib;
    TImportOptions o;
    TRecordingProgress progress;
};

TEST_F(ImportTest, ExportedPathsDoNotRepeatTheVolume) {
    TImportResult r = Import("CD1,CD1\\music\\,a.mp3,3 000 000 000\r\n"
                             "CD1,CD1\\,top.txt,5\r\n"
                             "CD1,\\music\\rock,b.mp3,1\n"
                             "CD1,CD1,root2,2\r\n");
    EXPECT_EQ(r.Entries, 4);
    EXPECT_EQ(Ls("CD1\\"), "music/=0 root2=2 top.txt=5 ");
    EXPECT_EQ(Ls("CD1\\music\\"), "a.mp3=3000000000 rock/=0 ");
    EXPECT_EQ(Ls("CD1\\music\\rock\\"), "b.mp3=1 ");
    EXPECT_EQ(Ls("CD1\\CD1\\"), "<none>");
    EXPECT_EQ(lib.Tree.TotalCount(), 3);
    EXPECT_TRUE(lib.Modified);
    EXPECT_EQ(lib.TotalSize, 3000000008);
}

TEST_F(ImportTest, LinesInAnyOrderGiveTheSameTreeAndKeysAreExact) {
    Import("V,a\\,x,1\nV,,A.TXT,2\nV,,a.txt,3\nV,a\\,x,9\nW,,f,4\nV,,b,5\n");
    EXPECT_EQ(Ls("V\\"), "a/=0 A.TXT=2 a.txt=3 b=5 ");
    EXPECT_EQ(Ls("V\\a\\"), "x=1 "); // the repeated key: the first line stays
    EXPECT_EQ(Ls("W\\"), "f=4 ");
    EXPECT_EQ(lib.Tree.RootCount(), 2);
}

TEST_F(ImportTest, EmptyVolumeOrNameIsSkippedAndLogged) {
    TImportResult r = Import("V,,ok,1\nV,,ok2,2\n,,novol,1\nV,dir,,1\nV,,ok3,3\n\n   \n");
    EXPECT_EQ(r.Entries, 3);
    EXPECT_EQ(r.Errors, 2);
    EXPECT_EQ(Ls("V\\"), "ok=1 ok2=2 ok3=3 ");
    ASSERT_EQ(progress.Logged.size(), 2u);
    EXPECT_EQ(progress.Logged[0], "Import Error 3 (Volume): ,,novol,1");
    EXPECT_EQ(progress.Logged[1], "Import Error 4 (Name): V,dir,,1");
}

TEST_F(ImportTest, NewVolumeEvenWhenTheCatalogHasOneOfThatCaption) {
    TCatalogBuilder b(lib);
    TTreeNode* old = b.Volume("V");
    b.Folder(old, "d");
    Import("V,d\\,new,1\nV,d\\,new2,1\n");
    ASSERT_EQ(lib.Tree.RootCount(), 2);
    int withNew = 0;
    for (int i = 0; i < 2; ++i) {
        TTreeNode* d = lib.Tree.Root(i)->FindChild("d");
        ASSERT_NE(d, nullptr);
        if (FolderOf(d)->ItemsCount() == 2) {
            ++withNew;
            EXPECT_NE(lib.Tree.Root(i), old);
        }
    }
    EXPECT_EQ(withNew, 1);
}

TEST_F(ImportTest, CategoryCommentsLocationAndSerialAreApplied) {
    SetFieldOrder(o.Fields, {"Volume", "VolumeSerialNo", "Path", "Name", "Size", "Date", "Category",
                             "Comments", "Location", "Type", "FilePath"});
    o.Qualifier = "'";
    Import("'V','AB12','V\\d\\','it''s, here',1 KB,2021-03-04 05:06:07,'cat','com','Shelf',"
           "'txt','V\\d\\it''s, here'\r\n");
    TTreeNode* d = FindFolderByCatalogPath(lib, "V\\d\\");
    ASSERT_NE(d, nullptr);
    TLibFolderItem* e = FolderOf(d)->FindItem("it's, here");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Size, 1024);
    EXPECT_EQ(e->Date, Day("2021-03-04 05:06:07"));
    EXPECT_EQ(e->Category.view(), "cat");
    EXPECT_EQ(e->Comments.view(), "com");
    TLibFolder* v = FolderOf(lib.Tree.Root(0));
    EXPECT_EQ(v->Location, "Shelf");
    EXPECT_EQ(v->Serial, "AB12");
}

TEST_F(ImportTest, NeverLooksAtTheDiskForArchives) {
    // A real directory and file under the name the line gives: still nothing is read.
    std::filesystem::create_directories(tmp.File("V"));
    WriteFile(tmp.File("V/real.zip"), "PK\x05\x06" + std::string(18, '\0'));
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(tmp.Path());
    Import("V,V\\,real.zip,22\n");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(Ls("V\\"), "real.zip=22 ");
    EXPECT_EQ(lib.Tree.TotalCount(), 1);
}

TEST_F(ImportTest, NewLineSeparatorTakesOneLinePerColumn) {
    o.Separator = "New Line";
    Import("V\r\nV\\d\\\r\nx\r\n7\r\nV\r\n\r\ny\r\n8\r\n");
    EXPECT_EQ(Ls("V\\"), "d/=0 y=8 ");
    EXPECT_EQ(Ls("V\\d\\"), "x=7 ");
}

TEST_F(ImportTest, MissingFileFailsAndStopKeepsWhatWasImported) {
    o.FileName = tmp.File("none.txt");
    EXPECT_THROW(RunImport(lib, o, progress), EMessageError);
    EXPECT_EQ(progress.Logged.back(), "Import failed: " + o.FileName);
    o.FileName = tmp.File("in.txt");
    progress.StopAtStep = 2;
    EXPECT_THROW(Import("V,,a,1\nV,,b,1\nV,,c,1\nV,,d,1\n"), EMessageError);
    EXPECT_EQ(Ls("V\\"), "a=1 b=1 ");
}

TEST_F(ImportTest, EightBitTextIsReadAsWindows1252) {
    Import("V,,caf\xe9,1\n");
    EXPECT_EQ(Ls("V\\"), "caf\xc3\xa9=1 ");
}

} // namespace
