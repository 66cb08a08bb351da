// A scan whose folders are read ahead on other threads builds the same
// catalog and logs the same lines as one that reads every folder itself.
#include "analysis/handlers.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Every node and entry of the catalog with what it holds, in tree order.
std::string CatalogText(const TLibObj& lib) {
    std::ostringstream o;
    std::vector<std::pair<const TTreeNode*, int>> todo;
    for (int i = lib.Tree.RootCount() - 1; i >= 0; --i)
        todo.emplace_back(lib.Tree.Root(i), 0);
    while (!todo.empty()) {
        auto [n, depth] = todo.back();
        todo.pop_back();
        const TLibFolder* f = FolderOf(n);
        o << std::string(depth, ' ') << "[" << f->Caption << "] " << f->Date << ' ' << f->IsArchive
          << '\n';
        for (const auto& e : f->Items())
            o << std::string(depth + 1, ' ') << e->Caption.str() << ' ' << e->Size << ' ' << e->Date
              << ' ' << int(e->IsFolder) << int(e->IsArchive) << ' ' << e->TagInfo.Text() << '\n';
        for (int i = n->Count() - 1; i >= 0; --i)
            todo.emplace_back(n->Child(i), depth + 1);
    }
    o << lib.FolderCount << ' ' << lib.FileCount << ' ' << lib.TotalSize << '\n';
    return o.str();
}

struct TScanResult {
    std::string catalog;
    std::vector<std::string> logged;
    int64_t errors = 0;
};

class ScanThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        handlers.SetDefaults();
        root = tmp.Path() + "/vol/";
        const std::string data = TAMBLIX_TEST_DATA;
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b) {
                const std::string d = root + "m" + std::to_string(a) + "/s" + std::to_string(b);
                fs::create_directories(d + "/e");
                fs::copy_file(data + "/audio/mp3_v23_latin1.mp3", d + "/song.mp3");
                fs::copy_file(data + "/audio/flac_vorbis.flac", d + "/e/Song.FLAC");
                fs::copy_file(data + "/archives/basic.zip", d + "/pack.zip");
                WriteFile(d + "/broken.mp3", "not audio at all");
                WriteFile(d + "/notes.txt", std::string(a * 10 + b, 'n'));
            }
        WriteFile(root + "Case/x.txt", "1");
        WriteFile(root + "case/x.txt", "22");
        WriteFile(root + std::string("bytes/\xe9t\xe9.mp3"), "latin1 name");
        fs::create_symlink("../m0", root + "bytes/link");
        ::mkfifo((root + "bytes/pipe.mp3").c_str(), 0644);
    }

    TScanResult Scan(unsigned threads, TLibObj& lib, TTreeNode* update = nullptr) {
        TRecordingProgress progress;
        TVolumeScanner s(lib, &handlers, progress);
        s.Options.FolderResult = root;
        s.Options.TitleResult = "Vol";
        s.Options.WalkThreads = threads;
        s.Options.DeleteNotFound = true;
        s.Options.Force = true;
        if (update)
            s.UpdateVolume(update);
        else
            s.AddVolume(yes);
        return {CatalogText(lib), progress.Logged, s.Errors};
    }

    void ExpectSameScans() {
        TLibObj plainLib, aheadLib;
        TScanResult plain = Scan(0, plainLib);
        TScanResult ahead = Scan(3, aheadLib);
        EXPECT_EQ(ahead.catalog, plain.catalog);
        EXPECT_EQ(ahead.logged, plain.logged);
        EXPECT_EQ(ahead.errors, plain.errors);
        // And an update of what is there, deleting what is gone.
        fs::remove_all(root + "m1/s2");
        WriteFile(root + "m2/new.txt", "new");
        plain = Scan(0, plainLib, plainLib.Tree.Root(0));
        ahead = Scan(3, aheadLib, aheadLib.Tree.Root(0));
        EXPECT_EQ(ahead.catalog, plain.catalog);
        EXPECT_EQ(ahead.logged, plain.logged);
    }

    TTempFolder tmp;
    std::string root;
    THandlerList handlers;
    TFixedAnswers yes{TAnswer::Yes};
};

} // namespace

TEST_F(ScanThreadsTest, ReadingAheadBuildsTheSameCatalog) {
    ExpectSameScans();
}

TEST_F(ScanThreadsTest, UnreadableFoldersKeepWhatTheCatalogKnew) {
    if (RerunUnprivileged()) return;
    fs::permissions(root + "m3/s1", fs::perms::none);
    fs::permissions(root + "m0/s3", fs::perms(0644));
    ExpectSameScans();
    fs::permissions(root + "m3/s1", fs::perms(0755));
    fs::permissions(root + "m0/s3", fs::perms(0755));
}
