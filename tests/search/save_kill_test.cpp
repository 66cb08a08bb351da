// A save killed at any moment leaves the catalog that was there, whole, and
// at most one temporary file of ours beside it.
#include "catalog/catalog_file.h"
#include "search/cli_runner.h"
#include "support/catalog_builder.h"
#include "support/temp_folder.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr int kFolders = 300;
constexpr int kPerFolder = 1000; // 300,000 entries

int TempFiles(const std::string& folder) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        if (name.find(".tamblix-tmp") != std::string::npos) ++n;
    }
    return n;
}

// The category every entry has: "old" or "new", or "" when they differ.
std::string CategoryOfAll(const std::string& path, int64_t& entries) {
    TLibObj lib;
    TNullProgress quiet;
    LoadFromFile(lib, path, false, quiet);
    std::string seen;
    entries = 0;
    bool mixed = false;
    lib.Tree.ForEach([&](TTreeNode* n) {
        for (const auto& e : FolderOf(n)->Items()) {
            if (e->IsFolder) continue;
            ++entries;
            if (seen.empty()) seen = e->Category.str();
            mixed = mixed || e->Category.str() != seen;
        }
    });
    return mixed ? std::string() : seen;
}

TEST(SaveKill, AKilledSaveLeavesTheOldCatalogWhole) {
    TTempFolder tmp;
    const std::string cat = tmp.File("big.txc"), original = tmp.File("original.txc");
    {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* v = b.Volume("Big");
        for (int f = 0; f < kFolders; ++f) {
            TTreeNode* d = b.Folder(v, "folder " + std::to_string(f));
            for (int i = 0; i < kPerFolder; ++i)
                b.File(d, "file " + std::to_string(i) + ".dat", i, 40000 + i, "old");
        }
        TNullProgress quiet;
        SaveToFile(lib, original, quiet);
    }
    std::filesystem::copy_file(original, cat);
    TCliRun run;
    run.Settings = tmp.File("s.ini");
    // Loads, sets every category and saves.
    run.Args = {"search", cat, "--replace-category", "new", "--yes"};

    // One whole run tells how long the save takes here (sanitizers are slow).
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run.Run(), 0);
    const auto whole = std::chrono::steady_clock::now() - start;
    int64_t entries = 0;
    ASSERT_EQ(CategoryOfAll(cat, entries), "new");
    ASSERT_EQ(entries, int64_t{kFolders} * kPerFolder);
    // Saves are deterministic: a file with either content is whole.
    const std::string oldBytes = ReadFile(original), newBytes = ReadFile(cat);
    ASSERT_NE(oldBytes, newBytes);

#if defined(__SANITIZE_ADDRESS__)
    const int kKills = 4; // each run is many times slower there
#else
    const int kKills = 10;
#endif
    int oldSeen = 0;
    for (int k = 0; k < kKills; ++k) {
        std::filesystem::copy_file(original, cat,
                                   std::filesystem::copy_options::overwrite_existing);
        // From the middle of the load to just after the whole run would end.
        auto delay = whole * (0.3 + 0.75 * k / kKills);
        pid_t pid = run.Start();
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(delay);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        SCOPED_TRACE("kill " + std::to_string(k));
        EXPECT_LE(TempFiles(tmp.Path()), 1);
        // Either the old catalog, or the new one when the save was complete.
        const std::string bytes = ReadFile(cat);
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << bytes.size() << " bytes";
        if (bytes == oldBytes) ++oldSeen;
    }
    EXPECT_GT(oldSeen, 0);
    // The next save reuses or removes what a killed one left.
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(TempFiles(tmp.Path()), 0);
    EXPECT_EQ(ReadFile(cat), newBytes);
}

} // namespace
