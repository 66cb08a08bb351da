// Delimited text as other programs write it, and text that is not what it
// claims to be: read correctly or refused, never half-read in silence.
#include "search/cli_runner.h"
#include "search/delimited_text.h"
#include "search/import.h"
#include "search/import_fixture.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

const std::string kData = std::string(TAMBLIX_TEST_DATA) + "/import/";

class ImportFile : public TImportFixture {
protected:
    std::string ErrorOf(const std::string& text) {
        try {
            Import(text);
        } catch (const EMessageError& e) {
            return e.Key;
        }
        return "none";
    }
    const TLibFolderItem* Entry(const std::string& folder, const std::string& name) {
        TTreeNode* n = FindFolderByCatalogPath(lib, folder);
        return n ? FolderOf(n)->FindItem(name) : nullptr;
    }
    std::string Names(const std::string& folder) {
        TTreeNode* n = FindFolderByCatalogPath(lib, folder);
        if (!n) return "<none>";
        std::string out;
        for (const auto& e : FolderOf(n)->Items())
            out += e->Caption.str() + (e->IsFolder ? "/" : "") + "|";
        return out;
    }
};

TEST_F(ImportFile, SpreadsheetCsvWithMarkCrLfAndLineBreaksInNames) {
    TImportResult r = ImportPath(kData + "bom_crlf.csv");
    EXPECT_EQ(r.Errors, 0);
    EXPECT_EQ(r.Entries, 4);
    ASSERT_EQ(lib.Tree.RootCount(), 2);
    EXPECT_EQ(lib.Tree.Root(0)->Text(), "CD1"); // not "\xEF\xBB\xBF" "CD1"
    EXPECT_EQ(lib.Tree.Root(1)->Text(), "CD2");
    EXPECT_EQ(Names("CD1\\docs\\"), "say \"hi\", ok.txt|two\nlines.txt|");
    const TLibFolderItem* big = Entry("CD1\\docs\\", "say \"hi\", ok.txt");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->Size, 3000000000);
    const TLibFolderItem* a = Entry("CD1\\", "a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(FormatDateTimeISO(a->Date), "2020-01-02 03:04:05");

    // The same rows with tabs.
    TLibObj second;
    o.Separator = "Tab";
    o.FileName = kData + "tabs.txt";
    TImportResult t = RunImport(second, o, progress);
    EXPECT_EQ(t.Errors, 0);
    EXPECT_EQ(t.Entries, 4);
}

TEST_F(ImportFile, Utf16TextIsDecoded) {
    TImportResult r = ImportPath(kData + "utf16.csv");
    EXPECT_EQ(r.Errors, 0);
    ASSERT_EQ(lib.Tree.RootCount(), 1);
    EXPECT_EQ(lib.Tree.Root(0)->Text(), "Диск");
    EXPECT_EQ(Names("Диск\\"), "emoji \xF0\x9F\x98\x80.txt|Музыка/|日本語.txt|");
    ASSERT_NE(Entry("Диск\\Музыка\\", "Привет.mp3"), nullptr);
    EXPECT_EQ(Entry("Диск\\Музыка\\", "Привет.mp3")->Size, 12);
    // Big-endian, with an unpaired surrogate and an odd last byte.
    std::string be = "\xFE\xFF";
    for (char c : std::string("V,,a"))
        be += std::string{'\0', c};
    be += std::string("\xD8\x00", 2) + std::string{'\0', 'b'};
    be.push_back('\0');
    EXPECT_EQ(DecodeTextBytes(be), "V,,a\xEF\xBF\xBD"
                                   "b\xEF\xBF\xBD");
}

TEST_F(ImportFile, DriveLetterPathsGiveFoldersNamedLikeTheDrive) {
    Import("MyPC,C:\\Users\\bob\\,notes.txt,1,\r\nMyPC,D:\\,top.txt,2,\r\n");
    EXPECT_EQ(Names("MyPC\\"), "C:/|D:/|");
    EXPECT_EQ(Names("MyPC\\C:\\Users\\bob\\"), "notes.txt|");
    EXPECT_EQ(Names("MyPC\\D:\\"), "top.txt|");
}

TEST_F(ImportFile, SizesTakeTheExportsGroupingAndNothingElse) {
    TImportResult r = Import("V,,spaces,12 345 678,\n"
                             "V,,plain,3000000000,\n"
                             "V,,kb,\"1.5 KB\",\n"
                             "V,,comma,\"1,234\",\n"
                             "V,,commas,\"12,345,678\",\n"
                             "V,,negative,-5,\n"
                             "V,,fraction,2.5,\n"
                             "V,,g1,1,\n"
                             "V,,g2,2,\n");
    EXPECT_EQ(Names("V\\"), "g1|g2|kb|plain|spaces|");
    EXPECT_EQ(Entry("V\\", "spaces")->Size, 12345678);
    EXPECT_EQ(Entry("V\\", "kb")->Size, 1536);
    EXPECT_EQ(r.Errors, 4);
    int64_t v = 0;
    EXPECT_FALSE(ParseSizeText("1,234", v));
    EXPECT_FALSE(ParseSizeText("12,345,678", v));
    EXPECT_FALSE(ParseSizeText("1.", v));
    EXPECT_TRUE(ParseSizeText("1 234 567", v));
    EXPECT_EQ(v, 1234567);
}

TEST_F(ImportFile, ShiftedColumnsAreErrorsNeverSilentShifts) {
    // Separator " " with sizes and dates that hold it, written bare by an
    // older export: every line is refused instead of shifting.
    o.Separator = " ";
    EXPECT_EQ(ErrorOf("V \"\" a.txt 1 234 2020-01-02 03:04:05\n"
                      "V \"\" b.txt 5 678 2020-01-02 03:04:05\n"),
              "errNotDelimited");
    EXPECT_EQ(lib.Tree.RootCount(), 0);
    // Separator "-" and a date: one bad line among good ones is counted.
    o.Separator = "-";
    progress.Logged.clear();
    TImportResult r = Import("V-\"\"-a.txt-1-\n"
                             "V-\"\"-b.txt-2-\n"
                             "V-\"\"-c.txt-3-2020-01-02\n");
    EXPECT_EQ(r.Entries, 2);
    EXPECT_EQ(r.Errors, 1);
    ASSERT_EQ(progress.Logged.size(), 1u);
    EXPECT_EQ(progress.Logged[0],
              "Import Error 3 (7 fields for 5 columns): V-\"\"-c.txt-3-2020-01-02");
}

TEST_F(ImportFile, NulBytesRefuseTheirLineInsteadOfMergingNames) {
    using namespace std::string_literals;
    TImportResult r = Import("V,,x,1,\nV,,x\0a.txt,2,\nV,,x\0b.txt,3,\nV,,y,4,\nV,,z,5,\n"s);
    EXPECT_EQ(Names("V\\"), "x|y|z|");
    EXPECT_EQ(Entry("V\\", "x")->Size, 1);
    EXPECT_EQ(r.Errors, 2);
    EXPECT_EQ(r.Entries, 3);
}

TEST_F(ImportFile, EverySkippedLineCountsAsAnError) {
    // An indented export: the leading separators shift the columns.
    TImportResult r = Import("V,V\\,a,1,\nV,V\\,d,0,\n,V\\d\\,b,2,\nV,V\\,c,3,\nV,V\\,c,3,\n");
    EXPECT_EQ(r.Entries, 3);
    EXPECT_EQ(r.Errors, 2); // the indented line and the repeated one
    ASSERT_EQ(progress.Logged.size(), 3u);
    EXPECT_EQ(progress.Logged[0], "Import Error 3 (Volume): ,V\\d\\,b,2,");
    EXPECT_EQ(progress.Logged[1], "Import Error 5 (repeated): V\\c");
    // Said plainly too: volumes of one name become one.
    EXPECT_NE(progress.Logged[2].find("volumes of the same name are imported as one volume"),
              std::string::npos);
    // The command line's summary says the same.
    TTempFolder cli;
    TCliRun run;
    run.Settings = cli.File("s.ini");
    run.Out = cli.File("out.txt");
    run.Args = {"import", cli.File("c.txc"), tmp.File("in.txt")};
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(ReadFile(run.Out), "Volumes: 1\tEntries: 3\tErrors: 2\n");
}

// The summary the progress ends with is written from the catalog's counts,
// which must already include what the import added.
TEST(ImportCounts, TheEndOfTheImportSeesTheNewTotals) {
    struct TCountAtEnd : TRecordingProgress {
        const TLibObj* Lib = nullptr;
        int64_t Volumes = -1, Files = -1;
        void EndProgress(const std::string& text) override {
            Volumes = Lib->VolumeCount;
            Files = Lib->FileCount;
            TRecordingProgress::EndProgress(text);
        }
    } progress;
    TTempFolder tmp;
    TLibObj lib;
    progress.Lib = &lib;
    TImportOptions o;
    SetFieldOrder(o.Fields, {"Volume", "Path", "Name", "Size", "Date"});
    o.FileName = tmp.Write("in.txt", "A,,x,1,\nA,,y,2,\nB,,z,3,\n");
    RunImport(lib, o, progress);
    EXPECT_EQ(progress.Volumes, 2);
    EXPECT_EQ(progress.Files, 3);
}

TEST_F(ImportFile, RandomBytesAreRefusedBeforeAnythingIsAdded) {
    TCatalogBuilder(lib).Volume("Mine");
    std::mt19937 rng(7);
    std::string junk;
    for (int i = 0; i < 20000; ++i)
        junk += static_cast<char>(rng() & 0xFF);
    EXPECT_EQ(ErrorOf(junk), "errNotDelimited");
    EXPECT_EQ(lib.Tree.RootCount(), 1);
    // Text that is not delimited the way the options say.
    EXPECT_EQ(ErrorOf("just some prose\nwritten in lines\nof plain text\n"), "errNotDelimited");
    EXPECT_EQ(lib.Tree.RootCount(), 1);
    EXPECT_LE(progress.Logged.size(), 8u); // a few examples, not one line per junk line
}

TEST_F(ImportFile, FoldersAndUnreadableFilesAreNamedPlainly) {
    auto keyOf = [&](const std::string& path) {
        try {
            ImportPath(path);
        } catch (const EMessageError& e) {
            return e.Key;
        }
        return std::string("none");
    };
    EXPECT_EQ(keyOf(tmp.Path()), "errIsFolder");
    EXPECT_EQ(keyOf(tmp.File("missing.txt")), "errFNF");
    // As the user 65534, a file only root may read.
    WriteFile(tmp.File("secret.txt"), "V,,a,1,\n");
    ::chmod(tmp.File("secret.txt").c_str(), 0600);
    ::chmod(tmp.Path().c_str(), 0777);
    TCliRun run;
    run.AsNobody = ::geteuid() == 0;
    run.Settings = tmp.File("s.ini");
    run.Err = tmp.File("err.txt");
    run.Args = {"import", tmp.File("c.txc"), tmp.File("secret.txt")};
    if (run.AsNobody || ::access(tmp.File("secret.txt").c_str(), R_OK) != 0) {
        EXPECT_EQ(run.Run(), 1);
        EXPECT_NE(ReadFile(run.Err).find("Cannot read file: " + tmp.File("secret.txt") +
                                         " (Permission denied)"),
                  std::string::npos)
            << ReadFile(run.Err);
    }
    run.Args = {"import", tmp.File("c.txc"), tmp.Path()};
    EXPECT_EQ(run.Run(), 1);
    const std::string err = ReadFile(run.Err);
    EXPECT_NE(err.find("This is a folder, not a file"), std::string::npos) << err;
    EXPECT_EQ(err.find("basic_filebuf"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(tmp.File("c.txc")));
}

TEST(DelimitedRecords, QuotedFieldsRunOverSeparatorsAndLineBreaks) {
    TDelimitedReader r("a,\"b\r\nc\",d\r\n\"e\"\"\",\"unclosed,f\ng,h", ",", "\"");
    TDelimitedRecord rec;
    ASSERT_TRUE(r.Next(rec));
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"a", "b\r\nc", "d"}));
    EXPECT_EQ(rec.Line, 1u);
    ASSERT_TRUE(r.Next(rec));
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"e\"", "unclosed,f"}));
    EXPECT_EQ(rec.Line, 3u);
    EXPECT_TRUE(rec.Malformed);
    ASSERT_TRUE(r.Next(rec));
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"g", "h"}));
    EXPECT_EQ(rec.Raw, "g,h");
    EXPECT_FALSE(r.Next(rec));
    // A line-end separator: every field on lines of its own, three per record.
    TDelimitedReader n("V\r\n\"two\nlines\"\r\nx\r\nW\r\n\r\ny\r\n", "\r\n", "\"", 3);
    ASSERT_TRUE(n.Next(rec));
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"V", "two\nlines", "x"}));
    ASSERT_TRUE(n.Next(rec));
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"W", "", "y"}));
    EXPECT_FALSE(n.Next(rec));
    // Many unclosed quotes: each line stands alone, and the file is read in
    // one pass (a search for each closing quote would never end).
    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += "\"open \" quote,x\n";
    TDelimitedReader u(many, ",", "\"");
    size_t records = 0;
    while (u.Next(rec)) {
        ++records;
        ASSERT_EQ(rec.Fields, (std::vector<std::string>{"open \" quote,x"}));
        ASSERT_TRUE(rec.Malformed);
    }
    EXPECT_EQ(records, 200000u);
}

} // namespace
