// Delimited text whose quoting or fields are not what the columns say: a
// spreadsheet's well-formed quoting reads exactly, broken quoting and wrong
// counts of fields are errors of their own records, never silent merges.
#include "catalog/catalog_file.h"
#include "search/delimited_text.h"
#include "search/export.h"
#include "search/import.h"
#include "search/import_fixture.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <gtest/gtest.h>

namespace {

class ImportRecords : public TImportFixture {
protected:
    std::string Names() {
        TTreeNode* n = FindFolderByCatalogPath(lib, "V\\");
        if (!n) return "<none>";
        std::string out;
        for (const auto& e : FolderOf(n)->Items())
            out += e->Caption.str() + "=" + std::to_string(e->Size) + "|";
        return out;
    }
};

// Rows written by Python's csv module (its quoting doubles quotes and keeps
// separators and line breaks inside quotes), then lines with broken quoting
// as a careless writer leaves them.
TEST_F(ImportRecords, CsvModuleRowsReadExactlyAndBrokenQuotingIsRefusedByLine) {
    const std::string path = tmp.File("rows.csv");
    const std::string script = R"(
import csv, sys
with open(sys.argv[1], 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f)
    w.writerow(['V', '', '"Best of" Live.mp3', '100', '2021-01-01 00:00:00'])
    w.writerow(['V', '', 'comma, and "quotes".txt', '200', '2021-01-02 03:04:05'])
    w.writerow(['V', '', 'two\nlines.txt', '300', ''])
    csv.writer(f, quoting=csv.QUOTE_ALL).writerow(['V', '', 'all quoted.txt', '400', ''])
    f.write('V,,"Best of" Live.mp3,100,2021-01-01 00:00:00\r\n')
    f.write('V,,"unpaired.mp3,5,\r\n')
    f.write('V,,after.txt,6,\r\n')
    f.write('V,,"closes"later.txt",7,\r\n')
    f.write('V,,short.txt\r\n')
    f.write('V,,last.txt,8,\r\n')
)";
    TProgramRun py = RunProgram({"python3", "-c", script, path});
    ASSERT_EQ(py.ExitCode, 0) << "python3 is needed (scripts/setup.sh test installs it): "
                              << py.Err;
    TImportResult r = ImportPath(path);
    EXPECT_EQ(Names(), "\"Best of\" Live.mp3=100|after.txt=6|all quoted.txt=400|"
                       "closes\"later.txt=7|comma, and \"quotes\".txt=200|last.txt=8|"
                       "two\nlines.txt=300|");
    EXPECT_EQ(r.Entries, 7);
    EXPECT_EQ(r.Errors, 3);
    ASSERT_EQ(progress.Logged.size(), 3u);
    EXPECT_EQ(progress.Logged[0], "Import Error 6 (unpaired quote): V,,\"Best of\" Live.mp3,100,"
                                  "2021-01-01 00:00:00");
    EXPECT_EQ(progress.Logged[1], "Import Error 7 (unpaired quote): V,,\"unpaired.mp3,5,");
    EXPECT_EQ(progress.Logged[2], "Import Error 10 (3 fields for 5 columns): V,,short.txt");
}

TEST_F(ImportRecords, FieldsBeyondTheColumnsAndDatesThatAreNotWhollyDatesAreErrors) {
    o.Separator = " ";
    SetFieldOrder(o.Fields, {"Volume", "Path", "Name", "Size", "Date"});
    TImportResult r = Import("V \"\" a.txt 299 2021-01-01 03:04:05\n"
                             "V \"\" b.txt 300 \"2021-01-01 03:04:05\"\n"
                             "V \"\" c.txt 301 2021-01-01\n");
    EXPECT_EQ(Names(), "b.txt=300|c.txt=301|");
    EXPECT_EQ(r.Errors, 1);
    ASSERT_EQ(progress.Logged.size(), 1u);
    EXPECT_EQ(progress.Logged[0],
              "Import Error 1 (6 fields for 5 columns): V \"\" a.txt 299 2021-01-01 03:04:05");

    TDateTime d = 0;
    for (const char* bad : {"2021-01-01 00:00:00 junk", "2021-01-01T00:00:00Z", "2021-01-01Z",
                            "-500-01-01", "0000-01-01", "2021-1-01", "2021-01-01 24:00:00",
                            "+2021-01-01", " 2021-01-01 00:00:00x", "2021-02-30"})
        EXPECT_FALSE(ParseDateText(bad, d)) << bad;
    for (const char* good : {"0001-01-01", "9999-12-31 23:59:59", " 2021-01-01 ",
                             "2021-01-01T10:20", "2020-02-29 12:00"})
        EXPECT_TRUE(ParseDateText(good, d)) << good;
    ASSERT_TRUE(ParseDateText("9999-12-31 23:59:59", d));
    EXPECT_EQ(FormatDateTimeISO(d), "9999-12-31 23:59:59");
}

TEST_F(ImportRecords, BrokenQuotesStayLinearAndEachBreaksOnlyItsOwnLine) {
    // A quote opened and never closed, then lines holding only doubled
    // quotes: every field that starts inside that stretch would search to
    // the end of the text again.
    std::string text = "V,,\"open,1,\n";
    for (int i = 0; i < 100000; ++i)
        text += "V,\"\"\"\"x,n" + std::to_string(i) + ",1,\n";
    TDelimitedReader reader(text, ",", "\"");
    TDelimitedRecord rec;
    size_t records = 0, broken = 0;
    while (reader.Next(rec)) {
        ++records;
        broken += rec.Malformed;
    }
    EXPECT_EQ(records, 100001u);
    EXPECT_EQ(broken, 100001u);
    // A doubled quote inside a quoted field that spans lines is fine.
    TDelimitedReader ok("V,\"a \"\"b\"\"\nc\",1\nW,x,2\n", ",", "\"");
    ASSERT_TRUE(ok.Next(rec));
    EXPECT_FALSE(rec.Malformed);
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"V", "a \"b\"\nc", "1"}));
    ASSERT_TRUE(ok.Next(rec));
    EXPECT_EQ(rec.Fields, (std::vector<std::string>{"W", "x", "2"}));
    EXPECT_EQ(rec.Line, 3u);
}

TEST_F(ImportRecords, ExportRefusesChoicesItCouldNotReadBack) {
    TCatalogBuilder b(lib);
    b.File(b.Volume("V"), "a.txt", 1234567, Day("2021-01-01 03:04:05"));
    auto errorOf = [&](const std::string& sep, const std::string& q) {
        TExportOptions eo;
        eo.FileName = tmp.File("out.txt");
        eo.Separator = sep;
        eo.Qualifier = q;
        try {
            RunExport(lib, eo, TExportScope::Library, {}, nullptr, progress);
        } catch (const EMessageError& e) {
            return e.Key;
        }
        return std::string("none");
    };
    EXPECT_EQ(errorOf("", "\""), "errSepEmpty");
    EXPECT_EQ(errorOf("\"", "\""), "errSepQualifier");
    EXPECT_EQ(errorOf("'", " ' "), "errSepQualifier");
    EXPECT_EQ(errorOf(" ", ""), "errSepInValues");
    EXPECT_EQ(errorOf("-", ""), "errSepInValues");
    EXPECT_EQ(errorOf(":", ""), "errSepInValues");
    EXPECT_FALSE(std::filesystem::exists(tmp.File("out.txt")));
    EXPECT_EQ(errorOf("-", "\""), "none"); // sizes and dates holding it are quoted
    EXPECT_EQ(errorOf(";", ""), "none");
    EXPECT_EQ(ReadFile(tmp.File("out.txt")), "V;V\\;a.txt;1 234 567;2021-01-01 03:04:05\r\n");
}

TEST(SaveTexts, TheCutTextsPlaceIsNamedByABoundedStart) {
    TTempFolder tmp;
    TLibObj lib;
    TCatalogBuilder b(lib);
    const std::string name = "\xC3\xA9" + std::string(100000, 'n');
    b.File(b.Volume("V"), name, 1);
    TRecordingProgress progress;
    SaveToFile(lib, tmp.File("c.txc"), progress);
    ASSERT_EQ(progress.Logged.size(), 1u);
    const std::string& line = progress.Logged[0];
    EXPECT_LT(line.size(), 300u);
    EXPECT_EQ(line.rfind("Text over 65,536 bytes was cut: V\\\xC3\xA9nnn", 0), 0u) << line;
    EXPECT_TRUE(line.ends_with("n...")) << line;
}

} // namespace
