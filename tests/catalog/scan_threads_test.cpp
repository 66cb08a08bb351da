// A scan whose folders are read ahead on other threads builds the same
// catalog and logs the same lines as one that reads every folder itself.
#include "catalog/archive_listing.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "handlers/handlers.h"
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

TEST_F(ScanThreadsTest, ArchivesListedAheadAreFiledAsTheScanListsThem) {
    // Every kind of archive, sound and damaged, in enough folders that the
    // readers list many of them ahead; their log lines name the real paths.
    const std::string data = std::string(TAMBLIX_TEST_DATA) + "/archives/";
    for (int a = 0; a < 6; ++a) {
        const std::string d = root + "arch" + std::to_string(a) + "/";
        fs::create_directories(d + "dir.zip");
        for (const auto& f : fs::directory_iterator(data)) {
            const std::string name = f.path().filename().string();
            if (name.find('.') != std::string::npos && name.find(".sh") == std::string::npos)
                fs::copy_file(f.path(), d + name);
        }
        std::string zip = ReadFile(data + "basic.zip");
        WriteFile(d + "cut.zip", zip.substr(0, zip.size() / 2));
        WriteFile(d + "empty.7z", "");
        WriteFile(d + "text.tar.gz", "not gzip");
        WriteFile(d + "fake.rar", "Rar!\x1a\x07\x01\x00 but cut short");
        WriteFile(d + "holes.iso", "");
        ASSERT_EQ(::truncate((d + "holes.iso").c_str(), 1 << 20), 0);
        fs::create_symlink("basic.zip", d + "link.zip");
    }
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

TEST(ArchiveListedAhead, IsKeptWholeOrNotAtAll) {
    TTempFolder tmp;
    const std::string tar = std::string(TAMBLIX_TEST_DATA) + "/archives/kinds.tar";
    std::vector<std::string> streamed;
    TArchiveSink sink;
    sink.OnMember = [&](const TArchiveMember& m) { streamed.push_back(m.FileName); };
    ListArchive(tar, TArchiveKind::Other, sink);
    const auto n = static_cast<int64_t>(streamed.size());
    ASSERT_GT(n, 2);

    // Two listings fit the budget; the third finds it spent until one is filed.
    auto budget = std::make_shared<TMemberBudget>(2 * n);
    auto first = ListArchiveAhead(tar, TArchiveKind::Other, {}, budget);
    auto second = ListArchiveAhead(tar, TArchiveKind::Other, {}, budget);
    EXPECT_TRUE(first->Plain);
    EXPECT_FALSE(first->Partial);
    EXPECT_FALSE(second->Partial);
    std::vector<std::string> kept;
    for (const auto& m : first->Members)
        kept.push_back(m.FileName);
    EXPECT_EQ(kept, streamed);
    auto third = ListArchiveAhead(tar, TArchiveKind::Other, {}, budget);
    EXPECT_TRUE(third->Partial);
    EXPECT_TRUE(third->Members.empty());
    first.reset();
    third = ListArchiveAhead(tar, TArchiveKind::Other, {}, budget);
    EXPECT_FALSE(third->Partial);
    EXPECT_EQ(third->Members.size(), streamed.size());

    // A stop: the scan lists it itself.
    auto stopped = ListArchiveAhead(
        tar, TArchiveKind::Other, [] { return true; }, std::make_shared<TMemberBudget>(100));
    EXPECT_TRUE(stopped->Partial);
    EXPECT_TRUE(stopped->Members.empty());

    // Never through a link.
    fs::create_symlink(tar, tmp.Path() + "/link.tar");
    auto linked = ListArchiveAhead(tmp.Path() + "/link.tar", TArchiveKind::Other, {},
                                   std::make_shared<TMemberBudget>(100));
    EXPECT_FALSE(linked->Plain);
    EXPECT_TRUE(linked->Members.empty());
}

TEST(ArchiveListedAhead, NotesNameTheArchiveAsTheUserKnowsIt) {
    TArchiveNote inPath{"msgsArcErr", "/proc/self/fd/7/a.zip: damaged", false, true};
    EXPECT_EQ(inPath.ShownArg("/proc/self/fd/7/a.zip", "/media/disc/a.zip"),
              "/media/disc/a.zip: damaged");
    TArchiveNote other{"msgsZipErr", "inner.zip: damaged", false, false};
    EXPECT_EQ(other.ShownArg("/proc/self/fd/7/a.zip", "/media/disc/a.zip"), "inner.zip: damaged");
    TArchiveNote none{"msgsArcErr", "", false, true};
    EXPECT_EQ(none.ShownArg("/proc/self/fd/7/a.zip", "/media/disc/a.zip"), "/media/disc/a.zip");
    TArchiveNote after{"msgsRarErr", ": CRC error", true, true};
    EXPECT_EQ(after.ShownArg("/proc/self/fd/7/a.rar", "/media/disc/a.rar"),
              "/media/disc/a.rar: CRC error");
}
