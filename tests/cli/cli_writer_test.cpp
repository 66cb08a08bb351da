// Commands that write a catalog, where another program or an imported volume
// could make them lose what the user has: the writer lock, and updates of
// volumes that have no folder of this computer.
#include "catalog/catalog_file.h"
#include "catalog/catalog_lock.h"
#include "catalog/lib_obj.h"
#include "settings/progress.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <chrono>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class CliWriters : public ::testing::Test {
protected:
    void SetUp() override {
        TLibObj lib;
        TCatalogBuilder b(lib);
        // As an import makes it: the source is the volume's own name, relative.
        TTreeNode* cd = b.Volume("CD1");
        b.File(b.Folder(cd, "music"), "a.mp3", 10);
        b.File(cd, "readme.txt", 5);
        cat = tmp.File("cat.txc");
        TNullProgress quiet;
        SaveToFile(lib, cat, quiet);
    }

    // Runs tamblix-cli in `folder` as its working folder.
    TProgramRun CliIn(const std::string& folder, std::vector<std::string> args) {
        args.insert(args.begin(), {"sh", "-c", "cd \"$0\" && exec \"$@\"", folder, TAMBLIX_CLI,
                                   "--settings", tmp.File("settings.ini")});
        return RunProgram(args);
    }
    TProgramRun Cli(std::vector<std::string> args) { return CliIn(tmp.Path(), std::move(args)); }

    TTempFolder tmp;
    std::string cat;
};

TEST_F(CliWriters, AnImportedVolumeIsNotRescannedFromTheWorkingFolder) {
    // A folder of the volume's name where the command runs: it must not be taken.
    tmp.Write("work/CD1/other.txt", "x");
    const std::string before = ReadFile(cat);
    TProgramRun r = CliIn(tmp.File("work"), {"update", cat, "CD1", "--delete-missing"});
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Err.find("--source"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(cat), before);

    // Given a folder, it is read; with --delete-missing what is not there goes.
    tmp.Write("disc/readme.txt", "hello");
    r = Cli({"update", cat, "CD1", "--source", tmp.File("disc"), "--delete-missing"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    r = Cli({"ls", cat, "CD1"});
    EXPECT_EQ(r.Out.substr(0, r.Out.find('\t')), "readme.txt");
    EXPECT_EQ(r.Out.find("music"), std::string::npos) << r.Out;
}

TEST_F(CliWriters, DefaultsOnlyReadsNothingAndSaysSo) {
    const std::string before = ReadFile(cat);
    TProgramRun r = Cli({"update", cat, "CD1", "--defaults-only", "--delete-missing"});
    EXPECT_EQ(r.ExitCode, 2) << r.Err;
    EXPECT_EQ(ReadFile(cat), before);

    // No source needed: the stored values are all it works on.
    r = Cli({"update", cat, "CD1", "--defaults-only", "--category", "Music", "--to-files"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Err.find("nothing was read"), std::string::npos) << r.Err;
    r = Cli({"ls", cat, "CD1\\music"});
    EXPECT_EQ(r.Out.rfind("a.mp3\t", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("\tMusic\t"), std::string::npos) << r.Out;
}

TEST_F(CliWriters, AWriterWaitsForTheLockAndThenRefusesNamingItsHolder) {
    TCatalogLock held = TCatalogLock::Acquire(cat, 0);
    ASSERT_TRUE(held.Held());
    const std::string before = ReadFile(cat);
    auto start = std::chrono::steady_clock::now();
    TProgramRun r = Cli({"edit", cat, "CD1", "--comments", "x", "--wait", "0.3"});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("Another program is writing the catalog"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("process " + std::to_string(::getpid())), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(cat), before);
    for (const char* wait : {"-1", "soon", ""}) {
        r = Cli({"edit", cat, "CD1", "--comments", "x", "--wait", wait});
        EXPECT_EQ(r.ExitCode, 2) << wait << ": " << r.Err;
    }

    // Readers never wait; the writer goes on once the lock is free.
    r = Cli({"ls", cat});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "CD1\n");
    held.Release();
    r = Cli({"edit", cat, "CD1", "--comments", "x", "--wait", "0"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
}

} // namespace
