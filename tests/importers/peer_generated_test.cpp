// Generated catalogs of thousands of entries in each format: every entry
// arrives, with its size, date, non-ASCII name and place.
#include "peer_test_support.h"
#include "support/catalog_builder.h"
#include "text/date_time.h"

#include <gtest/gtest.h>

namespace {

constexpr int kFolders = 40, kPerFolder = 100;
const char* const kUnits[] = {"byte", "Kb", "Mb", "Gb", "Tb"};

std::string FileName(int d, int f) {
    return "f\xC3\xA9" + std::to_string(d) + "_" + std::to_string(f) + ".dat";
}
std::string FolderName(int d) {
    return "d\xE2\x82\xAC" + std::to_string(d);
}

TEST(PeerGenerated, CdcatThousandsOfEntriesEveryUnitAndDateForm) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog name=\"c\">\n"
                      "<datafile version=\"2.2\"/>\n<media name=\"Gen\" type=\"HardDisc\">\n";
    for (int d = 0; d < kFolders; ++d) {
        xml += "<directory name=\"" + FolderName(d) + "\" time=\"2011-1-2 3:4:5\">\n";
        for (int f = 0; f < kPerFolder; ++f) {
            const int form = f % 3;
            const std::string time = form == 0   ? "2012-05-06 07:08:09"
                                     : form == 1 ? "May 6 07:08 2012"
                                                 : "May.6 07:08 2012";
            xml += "<file name=\"" + FileName(d, f) + "\" size=\"" + std::to_string(f) + ".50 " +
                   kUnits[f % 5] + "\" time=\"" + time + "\"><category>c" + std::to_string(d) +
                   "</category></file>\n";
        }
        xml += "</directory>\n";
    }
    xml += "</media>\n</catalog>\n";
    TTempFolder tmp;
    TLibObj lib;
    TPeerImportResult r = ImportText(lib, tmp, "gen.hcf", Gzip(xml));
    EXPECT_EQ(r.Folders, kFolders);
    EXPECT_EQ(r.Files, kFolders * kPerFolder);
    EXPECT_EQ(r.Errors, 0);
    EXPECT_EQ(lib.FileCount, kFolders * kPerFolder);
    EXPECT_TRUE(TotalsAreConsistent(lib));
    for (int d : {0, 17, kFolders - 1}) {
        const std::string folder = "Gen\\" + FolderName(d) + "\\";
        EXPECT_EQ(FolderRef(lib, folder).Date, Day("2011-01-02 03:04:05"));
        for (int f = 0; f < kPerFolder; f += 7) {
            TLibFolderItem* e = EntryAt(lib, folder, FileName(d, f));
            ASSERT_NE(e, nullptr) << folder << FileName(d, f);
            double factor = 1;
            for (int k = 0; k < f % 5; ++k)
                factor *= 1024;
            EXPECT_EQ(e->Size, static_cast<int64_t>((f + 0.5) * factor + 0.5));
            EXPECT_EQ(e->Date,
                      f % 3 == 0 ? Day("2012-05-06 07:08:09") : Day("2012-05-06 07:08:00"));
            EXPECT_EQ(e->Category.str(), "c" + std::to_string(d));
        }
    }
    EXPECT_EQ(FolderOf(lib.Tree.Root(0))->Comments, "MediaType=HardDisc");
}

TEST(PeerGenerated, CdcatPartialExportAndLegacyCharset) {
    // The partial export: media without a catalog root and a stray "</xml>".
    std::string partial = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- banner -->\n";
    for (int m = 0; m < 3; ++m)
        partial += "<media name=\"M" + std::to_string(m) +
                   "\" type=\"CD\"><comment>photos</comment>"
                   "<file name=\"a\" size=\"1.00 byte\" time=\"2000-01-01 00:00:00\">"
                   "<category>photos</category></file></media>\n";
    partial += "</xml>\n";
    TTempFolder tmp;
    TLibObj lib;
    EXPECT_EQ(ImportText(lib, tmp, "part.xml", partial).Volumes, 3);
    EXPECT_EQ(FolderOf(lib.Tree.Root(2))->Caption, "M2");
    EXPECT_EQ(FolderOf(lib.Tree.Root(2))->Category, "photos");
    EXPECT_EQ(FolderOf(lib.Tree.Root(2))->Comments, "MediaType=CD");
    // And without the stray end tag.
    EXPECT_EQ(ImportText(lib, tmp, "part2.xml", partial.substr(0, partial.find("</xml>"))).Volumes,
              3);

    // ISO-8859-2, as the old releases wrote: 0xB1 is U+0105, 0xE6 U+0107.
    std::string legacy = "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\n<catalog>"
                         "<media name=\"Zdj\xEA\x63ia\"><file name=\"\xB1\xE6.jpg\" "
                         "size=\"2.00 Kb\" time=\"2004-2-3 4:5:6\"/></media></catalog>";
    TLibObj lib2;
    ImportText(lib2, tmp, "old.hcf", legacy);
    EXPECT_EQ(FolderOf(lib2.Tree.Root(0))->Caption, "Zdj\xC4\x99"
                                                    "cia");
    TLibFolderItem* e = EntryAt(lib2,
                                "Zdj\xC4\x99"
                                "cia\\",
                                "\xC4\x85\xC4\x87.jpg");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Size, 2048);
    EXPECT_EQ(e->Date, Day("2004-02-03 04:05:06"));
}

std::string CatcliFile(int d, int f) {
    return "{\"maccess\": " + std::to_string(1600000000 + f) + ".25, \"md5\": \"" +
           (f % 2 ? "d41d8cd98f00b204e9800998ecf8427e" : "") + "\", \"name\": \"" + "f\\u00e9" +
           std::to_string(d) + "_" + std::to_string(f) +
           ".dat\", \"size\": " + std::to_string(f * 1000) + ", \"type\": \"file\"}";
}

TEST(PeerGenerated, CatcliAndGocatcliThousandsOfEntries) {
    std::string cat = "{\"children\": [{\"children\": [";
    std::string go = "{\"storages\": [{\"name\": \"Gen\", \"type\": \"storage\", \"children\": [";
    for (int d = 0; d < kFolders; ++d) {
        cat += std::string(d ? "," : "") + "{\"children\": [";
        go += std::string(d ? "," : "") + "{\"name\": \"" + FolderName(d) +
              "\", \"filetype\": \"dir\", \"maccess\": 1500000000, \"children\": [";
        for (int f = 0; f < kPerFolder; ++f) {
            cat += std::string(f ? "," : "") + CatcliFile(d, f);
            go += std::string(f ? "," : "") + "{\"name\": \"" + FileName(d, f) +
                  "\", \"filetype\": \"file\", \"size\": " + std::to_string(f * 1000) +
                  ", \"maccess\": " + std::to_string(1600000000 + f) + ", \"ts\": 1}";
        }
        cat +=
            "], \"maccess\": 1500000000, \"name\": \"" + FolderName(d) + "\", \"type\": \"dir\"}";
        go += "]}";
    }
    cat += "], \"name\": \"Gen\", \"type\": \"storage\"}], \"name\": \"top\", \"type\": \"top\"}";
    go += "]}]}";
    TTempFolder tmp;
    for (const std::string& text : {cat, go}) {
        TLibObj lib;
        TPeerImportResult r = ImportText(lib, tmp, "gen.catalog", text);
        EXPECT_EQ(r.Files, kFolders * kPerFolder);
        EXPECT_EQ(r.Folders, kFolders);
        EXPECT_EQ(r.Errors, 0);
        EXPECT_TRUE(TotalsAreConsistent(lib));
        const std::string folder = "Gen\\" + FolderName(7) + "\\";
        EXPECT_EQ(FolderRef(lib, folder).Date, UnixToDateTime(1500000000));
        TLibFolderItem* e = EntryAt(lib, folder, FileName(7, 33));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->Size, 33000);
        EXPECT_EQ(DateTimeToUnix(e->Date), 1600000033);
        if (r.Format == TPeerFormat::Catcli) {
            EXPECT_EQ(e->TagInfo.Value("MD5"), "d41d8cd98f00b204e9800998ecf8427e");
        }
    }
}

} // namespace
