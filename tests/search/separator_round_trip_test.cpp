// Export then import over every separator, with names that hold separators,
// qualifiers, tabs, line breaks and other scripts, and sizes over 4 GB: the
// catalog that comes back equals the one that went out, entry by entry.
#include "search/export.h"
#include "search/import.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"
#include "text/name_text.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kHostile = {
    "comma, here",
    "semi;colon",
    "pipes||and|one",
    "space name",
    "tab\there",
    "line\nbreak",
    "cr\rlf\r\nend",
    "quote\"inside",
    "\"starts",
    "ends\"",
    "apostrophe's",
    "-dash-",
    "日本語のファイル",
    "Ελληνικά.txt",
    "עברית",
    "emoji \xF0\x9F\x8E\xB5.mp3",
    " lead and trail ",
    "\"\"||\"\"",
    "x",
    "back\\slash",
    "two\\\\back\\t",
    "\\one",
    "\\\\two",
    "\\\\\\three",
    "\\",
    nametext::DiskToCaption("latin1 caf\xe9 \xff\xfe"),
};

void Build(TLibObj& lib) {
    TCatalogBuilder b(lib);
    int n = 0;
    auto date = [&] { return Day("2001-02-03 04:05:06") + (n++) * 1.25 + 1.0 / 86400; };
    for (const std::string vol : {"Vol, \"one\"", "Vol\ttwo; ||", "Том 3"}) {
        TTreeNode* v = b.Volume(vol, "Shelf, \"A\"; |", "1234-ABCD");
        int64_t size = 0;
        for (const auto& name : kHostile) {
            // Comments are written on one line, so theirs have no line break.
            TLibFolderItem* e = b.File(v, name, size, date(), "cat, " + name,
                                       "comment; \"" + std::to_string(n) + "\"||, x");
            e->Size = size;
            size = (size * 7 + 5000000001) % 1000000000000000; // past 4 GB at once
        }
        TTreeNode* sub = b.Folder(v, "sub, \"folder\"\tx", date(), "fcat");
        TTreeNode* deeper = b.Folder(sub, "deeper; || \\ back", date());
        for (const auto& name : kHostile) {
            b.File(sub, name + ".s", 1ll << 40, date());
            b.File(deeper, name + ".d", 4294967296ll + 1, Day("1850-06-15 18:00:00"));
        }
    }
}

// One line per folder and per entry, in tree order.
std::vector<std::string> Describe(const TLibObj& lib) {
    std::vector<std::string> out;
    lib.Tree.ForEach([&](TTreeNode* n) {
        const TLibFolder* f = FolderOf(n);
        out.push_back("folder " + GetCatalogPath(f) + " | " + f->Location + " | " + f->Serial);
        for (const auto& e : f->Items())
            out.push_back(e->Caption.str() + " | " + std::to_string(e->Size) + " | " +
                          FormatDateTimeISO(e->Date) + " | " + (e->IsFolder ? "dir" : "file") +
                          " | " + e->Category.str() + " | " + e->Comments.str());
    });
    return out;
}

TEST(SeparatorRoundTrip, EverySeparatorGivesBackTheSameCatalog) {
    TLibObj source;
    Build(source);
    const std::vector<std::string> expected = Describe(source);
    ASSERT_GT(expected.size(), 150u);
    const std::vector<std::string> fields = {"Volume",   "VolumeSerialNo", "Path",
                                             "Name",     "Size",           "Date",
                                             "Category", "Comments",       "Location"};
    for (const std::string sep : {"Comma", "Tab", ";", "||", " ", "-", "New Line"}) {
        SCOPED_TRACE("separator [" + sep + "]");
        TTempFolder tmp;
        TExportOptions eo;
        eo.FileName = tmp.File("out.txt");
        eo.Separator = sep;
        SetFieldOrder(eo.Fields, fields);
        TRecordingProgress progress;
        RunExport(source, eo, TExportScope::Library, {}, nullptr, progress);

        TLibObj back;
        TImportOptions io;
        io.FileName = eo.FileName;
        io.Separator = sep;
        SetFieldOrder(io.Fields, fields);
        TImportResult r = RunImport(back, io, progress);
        EXPECT_EQ(r.Errors, 0);
        EXPECT_EQ(r.Volumes, 3);
        const std::vector<std::string> got = Describe(back);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], expected[i]) << "line " << i;
    }
}

} // namespace
