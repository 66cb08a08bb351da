// Scan a real tree with the command line, export it, import the text into an
// empty catalog, and compare the two catalogs folder by folder.
#include "catalog/catalog_file.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Runs the command-line tool; returns its stdout and sets the exit code.
std::string Cli(const std::vector<std::string>& args, int& rc) {
    std::vector<std::string> argv{TAMBLIX_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    TProgramRun run = RunProgram(argv);
    rc = run.ExitCode;
    return run.Out;
}

void MakeFile(const std::string& path, size_t size, int64_t unixTime) {
    WriteFile(path, std::string(size, 'x'));
    struct timespec times[2] = {{unixTime, 0}, {unixTime, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> FolderPaths(const std::string& catalog) {
    TLibObj lib;
    TNullProgress quiet;
    LoadFromFile(lib, catalog, false, quiet);
    std::vector<std::string> out;
    lib.Tree.ForEach([&](TTreeNode* n) { out.push_back(GetCatalogPath(FolderOf(n))); });
    return out;
}

TEST(RoundTrip, ExportThenImportRebuildsTheSameCatalog) {
    TTempFolder tmp;
    const std::string root = tmp.File("disc");
    MakeFile(root + "/a.txt", 5, 1600000000);
    MakeFile(root + "/name, with \"quote\" and 'apostrophe'.txt", 12, 1600000100);
    MakeFile(root + "/music/rock/song.mp3", 3, 1500000000);
    MakeFile(root + "/music/b.bin", 3000, 1400000000);
    MakeFile(root + "/docs/x", 2, 1300000000);
    MakeFile(root + "/docs/Caf\xc3\xa9 \xc3\xbc.txt", 9, 1300000500);
    MakeFile(root + "/docs/deeper/more/f.dat", 77, 1200000000);
    MakeFile(root + "/docs/deeper/F.DAT", 78, 1200000001);
    const std::string cat1 = tmp.File("one.txc"), cat2 = tmp.File("two.txc");
    const std::string text = tmp.File("out.txt");
    int rc = 0;
    Cli({"scan", cat1, root, "--title", "Disc 1", "--no-serial-check", "--location", "Shelf 9",
         "--serial", "ABCD1234"},
        rc);
    ASSERT_EQ(rc, 0);
    const std::string fields =
        "Volume,VolumeSerialNo,Path,Name,Size,Date,Category,Comments,Location,Type,FilePath";
    // Categories and comments travel too: give some entries one.
    Cli({"search", cat1, "--type", "txt", "--replace-category", "Texts, \"plain\"",
         "--replace-comments", "read me", "--yes"},
        rc);
    ASSERT_EQ(rc, 0);
    for (const char* sep : {"comma", "tab", ";;"}) {
        SCOPED_TRACE(sep);
        std::filesystem::remove(cat2);
        Cli({"export", cat1, text, "--fields", fields, "--separator", sep}, rc);
        ASSERT_EQ(rc, 0);
        Cli({"import", cat2, text, "--fields", fields, "--separator", sep}, rc);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(Cli({"tree", cat2}, rc), Cli({"tree", cat1}, rc));
        std::vector<std::string> folders = FolderPaths(cat1);
        EXPECT_EQ(folders.size(), 6u);
        EXPECT_EQ(FolderPaths(cat2), folders);
        // Every entry with its size, date, category, comments and location.
        std::string all = Cli({"search", cat1, "--sort", "fullname"}, rc);
        EXPECT_NE(all.find("\tShelf 9\n"), std::string::npos);
        EXPECT_NE(all.find("\tTexts, \"plain\"\tread me\t"), std::string::npos);
        EXPECT_EQ(Cli({"search", cat2, "--sort", "fullname"}, rc), all);
        for (const auto& f : folders) {
            std::string a = Cli({"ls", cat1, f}, rc);
            EXPECT_EQ(rc, 0);
            EXPECT_FALSE(a.empty());
            EXPECT_EQ(Cli({"ls", cat2, f}, rc), a) << f;
        }
    }
    // The open catalog is never an export target.
    std::string before = ReadFile(cat1);
    Cli({"export", cat1, cat1}, rc);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(ReadFile(cat1), before);
}

TEST(RoundTrip, SearchCommandPrintsRowsStatisticsAndSavesSearches) {
    TTempFolder tmp;
    const std::string root = tmp.File("disc");
    MakeFile(root + "/one.mp3", 10, 1600000000);
    MakeFile(root + "/sub/ONE.MP3", 20, 1600000000);
    MakeFile(root + "/sub/two.txt", 30, 1600000000);
    const std::string cat = tmp.File("c.txc");
    int rc = 0;
    Cli({"scan", cat, root, "--title", "D", "--no-serial-check"}, rc);
    ASSERT_EQ(rc, 0);
    std::string out = Cli({"search", cat, "--type", "mp3", "--duplicates", "--sort", "size:desc",
                           "--save", tmp.File("s.TXS")},
                          rc);
    EXPECT_EQ(rc, 0);
    // Paths are escaped like every other text: a backslash is written doubled.
    EXPECT_EQ(
        out,
        "ONE.MP3\tmp3\tD\tD\\sub\\\t20\t2020-09-13 12:26:40\t\t\t2\tD\\sub\\ONE.MP3\t\n"
        "one.mp3\tmp3\tD\tD\\\t10\t2020-09-13 12:26:40\t\t\t2\tD\\one.mp3\t\n");
    EXPECT_NE(ReadFile(tmp.File("s.TXS")).find("Type=mp3\r\n"), std::string::npos);
    out = Cli({"search", cat, "--load", tmp.File("s.TXS"), "--in", "D\\sub\\"}, rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out.substr(0, 8), "ONE.MP3\t");
    EXPECT_EQ(out.find('\n'), out.size() - 1); // one row; the counts go to stderr
    Cli({"search", cat, "--size", ">", "x"}, rc);
    EXPECT_EQ(rc, 2);
    Cli({"search", cat, "--in", "nowhere\\"}, rc);
    EXPECT_EQ(rc, 1);
}

} // namespace
