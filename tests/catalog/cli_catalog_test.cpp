// `tamblix-cli new` and `info` run as their own process on real catalog files.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/progress.h"
#include "support/catalog_builder.h"
#include "support/cli_fixture.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <set>

namespace {

class CliCatalog : public TCliFixture {};

TEST_F(CliCatalog, InfoPrintsTheCountsOfTheCatalog) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* cd1 = b.Volume("CD1");
    TTreeNode* music = b.Folder(cd1, "music");
    b.File(music, "a.mp3", 1000);
    b.File(music, "b.mp3", 2500);
    TTreeNode* deep = b.Folder(music, "live");
    b.File(deep, "c.flac", 70000);
    TTreeNode* cd2 = b.Volume("CD2");
    b.File(cd2, "readme.txt", 5000000000LL); // past 32 bits
    b.Folder(cd2, "empty");
    TTreeNode* shelf = lib.AddCollection(nullptr, "Shelf");
    lib.AddCollection(shelf, "Top");
    lib.LinkFolder(shelf, FolderOf(cd2));
    lib.Categories.Add("films");
    lib.Categories.Add("music");
    const std::string cat = tmp.File("discs.txc");
    TNullProgress quiet;
    SaveToFile(lib, cat, quiet);

    TProgramRun r = Cli({"info", cat});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Version: Tamblix 2.3\n"
                     "Volumes: 2\n"
                     "Folders: 3\n"
                     "Files: 4\n"
                     "Size: 5000073500\n"
                     "Collections: 3\n"
                     "Categories: 2\n");
    EXPECT_EQ(r.Err, "");
}

TEST_F(CliCatalog, InfoRefusesWhatIsNoCatalog) {
    TProgramRun missing = Cli({"info", tmp.File("missing.txc")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_NE(missing.Err.find("missing.txc"), std::string::npos) << missing.Err;

    const std::string text = tmp.Write("notes.txc", "just some text, not a catalog\n");
    TProgramRun wrong = Cli({"info", text});
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_EQ(wrong.Out, "");
    EXPECT_FALSE(wrong.Err.empty());

    EXPECT_EQ(Cli({"info"}).ExitCode, 2);
    EXPECT_EQ(Cli({"info", text, "more"}).ExitCode, 2);
}

TEST_F(CliCatalog, NewWritesAnEmptyCatalogAndKeepsAnExistingFile) {
    const std::string cat = tmp.File("new.txc");
    TProgramRun made = Cli({"new", cat});
    EXPECT_EQ(made.ExitCode, 0) << made.Err;
    TLibObj lib;
    TNullProgress quiet;
    LoadFromFile(lib, cat, false, quiet);
    EXPECT_EQ(lib.Tree.RootCount(), 0);
    EXPECT_EQ(lib.ColTree.RootCount(), 0);
    TProgramRun info = Cli({"info", cat});
    EXPECT_EQ(info.Out, "Version: Tamblix 2.3\nVolumes: 0\nFolders: 0\nFiles: 0\nSize: 0\n"
                        "Collections: 0\nCategories: 0\n");

    // An existing file, catalog or not, is replaced only with --force.
    const std::string other = tmp.Write("other.txc", "not mine");
    TProgramRun refused = Cli({"new", other});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Err.find("--force"), std::string::npos) << refused.Err;
    EXPECT_EQ(ReadFile(other), "not mine");
    EXPECT_EQ(Cli({"new", other, "--force"}).ExitCode, 0);
    EXPECT_EQ(ReadFile(other), ReadFile(cat));

    // A folder that does not exist: an error, and nothing made.
    TProgramRun nowhere = Cli({"new", tmp.File("no/such/folder/x.txc")});
    EXPECT_EQ(nowhere.ExitCode, 1);
    EXPECT_FALSE(nowhere.Err.empty());
    EXPECT_FALSE(std::filesystem::exists(tmp.File("no")));

    EXPECT_EQ(Cli({"new"}).ExitCode, 2);
    EXPECT_EQ(Cli({"new", cat, "--bogus"}).ExitCode, 2);
}

} // namespace

// A scan that logs a line for thousands of files, into a pipe or a file:
// every line arrives once, whole, before the summary lines.
TEST_F(CliCatalog, ScanLogsEveryLineBeforeItsSummary) {
    const std::string vol = tmp.File("vol");
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i)
        ASSERT_TRUE(
            WriteFile(vol + "/d" + std::to_string(i % 7) + "/photo" + std::to_string(i) + ".jpg",
                      "no picture here"));
    TProgramRun r = Cli({"scan", tmp.File("discs.txc"), vol, "--no-serial-check"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.substr(0, 500);
    std::vector<std::string> lines;
    for (size_t at = 0; at < r.Err.size();) {
        size_t end = r.Err.find('\n', at);
        if (end == std::string::npos) end = r.Err.size();
        lines.push_back(r.Err.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind("Added ", 0), 0u) << lines[lines.size() - 2];
    EXPECT_EQ(lines.back().rfind("Volumes: 1 ", 0), 0u) << lines.back();
    std::set<std::string> named;
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        const size_t cut = lines[i].find("/photo");
        ASSERT_NE(cut, std::string::npos) << lines[i];
        EXPECT_TRUE(named.insert(lines[i].substr(cut, lines[i].find(':', cut) - cut)).second)
            << lines[i];
    }
    EXPECT_EQ(named.size(), static_cast<size_t>(kFiles));
}
