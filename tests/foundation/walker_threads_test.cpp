// Reading folders ahead on other threads must not change a walk: the same
// events in the same order carrying the same records, on trees made to be
// awkward, as when every folder is read on the walk's own thread.
#include "../support/unprivileged.h"
#include "support/temp_folder.h"
#include "walk/folder_listing.h"
#include "walk/walker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Every event of one walk as a line with every field it carried.
struct TEventLog {
    std::vector<std::string> lines;
    void Rec(const char* what, const std::string& path, const TSearchRec& r) {
        std::ostringstream o;
        o << what << ' ' << path << '|' << r.Name << '|' << r.NativeName << '|' << r.Attr << '|'
          << r.Size << '|' << r.Time << '|' << r.Mode << '|' << r.Error;
        lines.push_back(o.str());
    }
};

struct TWalkRun {
    unsigned threads = 0;
    uint16_t levels = 0;
    bool foldersOnly = false;
    std::string mask = "*.*";
    int stopAfter = -1; // entries reported before the walk is stopped
};

std::vector<std::string> WalkEvents(const std::string& root, const TWalkRun& run) {
    TEventLog log;
    TFileSearch w;
    int found = 0;
    w.Threads = run.threads;
    w.OnEnterFolder = [&](const std::string& p, const TSearchRec& r) { log.Rec("enter", p, r); };
    w.OnFileFound = [&](const std::string& p, const TSearchRec& r) {
        log.Rec("found", p, r);
        if (++found == run.stopAfter) w.StopSearch = true;
    };
    w.OnError = [&](const std::string& p, int err) {
        log.lines.push_back("error " + p + " " + std::to_string(err));
    };
    w.OnSearchDone = [&](TFileSearch&) { log.lines.push_back("done"); };
    w.Search(root + run.mask, run.levels, run.foldersOnly);
    for (const std::string& r : w.Results)
        log.lines.push_back("result " + r);
    return log.lines;
}

class WalkerThreadsTest : public ::testing::Test {
protected:
    void SetUp() override { root = tmp.Path() + "/"; }
    void File(const std::string& rel, const std::string& data = "x") {
        ASSERT_TRUE(WriteFile(root + rel, data));
    }
    void Dir(const std::string& rel) { fs::create_directories(root + rel); }

    // The walk read ahead by 1, 2 and 4 threads equals the plain walk.
    void ExpectSameWalks(TWalkRun run) {
        run.threads = 0;
        const std::vector<std::string> plain = WalkEvents(root, run);
        ASSERT_FALSE(plain.empty());
        for (unsigned t : {1u, 2u, 4u}) {
            run.threads = t;
            // A few times: a difference may show only in some timings.
            for (int i = 0; i < 3; ++i) {
                std::vector<std::string> ahead = WalkEvents(root, run);
                ASSERT_EQ(ahead, plain) << t << " threads, levels " << run.levels << ", mask "
                                        << run.mask << ", stop after " << run.stopAfter;
            }
        }
    }

    // Folders, files, links, a FIFO, case twins and names that are not UTF-8.
    void MakeAwkwardTree() {
        for (int a = 0; a < 6; ++a)
            for (int b = 0; b < 5; ++b) {
                std::string d = "wide" + std::to_string(a) + "/sub" + std::to_string(b) + "/";
                for (int c = 0; c < 4; ++c)
                    File(d + "f" + std::to_string(c) + ".mp3", std::string(c + 1, 'x'));
                Dir(d + "leaf");
            }
        File("Case/a.txt", "1");
        File("Case/A.TXT", "22");
        File("case/a.txt", "333");
        Dir("CASE");
        File(std::string("bytes/caf\xe9.txt"), "latin1");
        Dir(std::string("bytes/dir\xff\xfe"));
        File(std::string("bytes/dir\xff\xfe/in.txt"), "in");
        File("links/target.txt", "t");
        ASSERT_EQ(symlink("target.txt", (root + "links/to-file").c_str()), 0);
        ASSERT_EQ(symlink("../wide0", (root + "links/to-dir").c_str()), 0);
        ASSERT_EQ(symlink("nowhere", (root + "links/dangling").c_str()), 0);
        ASSERT_EQ(mkfifo((root + "links/pipe").c_str(), 0644), 0);
        File(".hidden/.dot", "d");
        // One large folder among small ones.
        for (int i = 0; i < 3000; ++i)
            File("large/n" + std::to_string(i * 7919 % 3000), "");
        // A deep chain with a file at every level and a sibling at a few.
        std::string deep = "deep/";
        for (int i = 0; i < 40; ++i) {
            deep += "d" + std::to_string(i % 3) + "/";
            File(deep + "f");
            if (i % 9 == 0) File(deep + "../side" + std::to_string(i) + "/s");
        }
    }

    TTempFolder tmp;
    std::string root;
};

} // namespace

TEST_F(WalkerThreadsTest, AwkwardTreesGiveTheSameEvents) {
    MakeAwkwardTree();
    ExpectSameWalks({});
    ExpectSameWalks({.levels = 2});
    ExpectSameWalks({.levels = 4});
    ExpectSameWalks({.foldersOnly = true});
    ExpectSameWalks({.mask = "*.mp3"});
}

// Stopped from an event handler: the same events up to the stop, none after.
TEST_F(WalkerThreadsTest, StopEndsTheWalkAtTheSamePlace) {
    MakeAwkwardTree();
    for (int n : {1, 40, 200, 2500})
        ExpectSameWalks({.stopAfter = n});
}

// Unreadable folders, folders that can be listed but not entered, and
// entries whose details cannot be read report the same errors at the same places.
TEST_F(WalkerThreadsTest, UnreadableFoldersReportTheSameErrors) {
    if (RerunUnprivileged()) return;
    MakeAwkwardTree();
    File("locked/closed/secret");
    File("locked/half/file", "12345");
    File("locked/half/sub/deep");
    File("locked/open/f");
    Dir("wide2/sub1/leaf/shut");
    fs::permissions(root + "locked/closed", fs::perms::none);
    fs::permissions(root + "locked/half", fs::perms(0644));
    fs::permissions(root + "wide2/sub1/leaf/shut", fs::perms::none);
    fs::permissions(root + "wide3", fs::perms(0500));
    ExpectSameWalks({});
    ExpectSameWalks({.levels = 3});
    fs::permissions(root + "locked/half", fs::perms(0755));
    fs::permissions(root + "wide3", fs::perms(0755));
}

// Deeper than the folders kept open, with few descriptors to spare: the readers
// ahead stay within their bound and the walk needs no more than before.
TEST_F(WalkerThreadsTest, DeepTreesWithFewDescriptors) {
    std::string path;
    for (int i = 0; i < 120; ++i) {
        path += (i % 2 ? "b/" : "a/");
        File(path + "f");
        if (i % 4 == 0) File(path + "../twin/g");
    }
    const std::vector<std::string> plain = WalkEvents(root, {});
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<std::string> ahead = WalkEvents(root, {.threads = 2});
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(ahead, plain);
    for (const std::string& line : ahead)
        EXPECT_NE(line.rfind("error", 0), 0u) << line;
}

// A program raises its soft limit as far as the readers can use, never past
// the hard one and never down; the readers wait in step with what is left.
TEST(FolderPrefetchLimits, SoftLimitRaisedForTheReadersOnly) {
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    if (old.rlim_max != RLIM_INFINITY && old.rlim_max < 2048) GTEST_SKIP() << "hard limit too low";
    rlimit low = old;
    low.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    EXPECT_EQ(TFolderPrefetch::MaxReady(), (1024u - 64) / 4);
    TFolderPrefetch::RaiseDescriptorLimit();
    rlimit now{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &now), 0);
    EXPECT_EQ(now.rlim_max, old.rlim_max);
    EXPECT_GT(now.rlim_cur, 1024u);
    EXPECT_TRUE(now.rlim_max == RLIM_INFINITY || now.rlim_cur <= now.rlim_max);
    EXPECT_GT(TFolderPrefetch::MaxReady(), (1024u - 64) / 4);
    EXPECT_LE(TFolderPrefetch::MaxReady(), (now.rlim_cur - 64) / 4);
    // Already enough: nothing changes, and a higher limit is never lowered.
    if (old.rlim_max == RLIM_INFINITY || old.rlim_max > now.rlim_cur) {
        rlimit high = now;
        high.rlim_cur = now.rlim_cur + 1;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &high), 0);
        TFolderPrefetch::RaiseDescriptorLimit();
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &now), 0);
        EXPECT_EQ(now.rlim_cur, high.rlim_cur);
    }
    setrlimit(RLIMIT_NOFILE, &old);
}

namespace {

// What the work ahead saw: the entry's name and the folder it was read through.
// Runs a walk whose events the caller logs, logging its errors, its end and
// its results as WalkEvents does.
void RunLogged(TFileSearch& w, const std::string& root, TEventLog& log) {
    w.OnError = [&](const std::string& p, int err) {
        log.lines.push_back("error " + p + " " + std::to_string(err));
    };
    w.OnSearchDone = [&](TFileSearch&) { log.lines.push_back("done"); };
    w.Search(root + "*.*", 0, false);
    for (const std::string& r : w.Results)
        log.lines.push_back("result " + r);
}

struct TSeenAhead : TEntryWork {
    std::string name;
    std::pair<dev_t, ino_t> folder;
};

std::pair<dev_t, ino_t> FolderId(int fd) {
    struct stat st {};
    fstat(fd, &st);
    return {st.st_dev, st.st_ino};
}

} // namespace

// Work done ahead for a file reaches the report of that very file, through the
// folder that holds it; nothing else changes in the walk, and only files that
// could be read are given to the work.
TEST_F(WalkerThreadsTest, WorkAheadReachesItsOwnEntry) {
    MakeAwkwardTree();
    const std::vector<std::string> plain = WalkEvents(root, {});
    for (int round = 0; round < 3; ++round) {
        TEventLog log;
        TFileSearch w;
        w.Threads = 2;
        std::atomic<int> given{0};
        w.AheadWork = [&](int fd, const TSearchRec& rec) -> std::unique_ptr<TEntryWork> {
            EXPECT_FALSE(rec.IsDirectory()) << rec.Name;
            EXPECT_EQ(rec.Error, 0) << rec.Name;
            ++given;
            auto seen = std::make_unique<TSeenAhead>();
            seen->name = rec.RealName();
            seen->folder = FolderId(fd);
            return seen;
        };
        int ahead = 0, found = 0;
        w.OnEnterFolder = [&](const std::string& p, const TSearchRec& r) {
            log.Rec("enter", p, r);
        };
        w.OnFileFound = [&](const std::string& p, const TSearchRec& r) {
            log.Rec("found", p, r);
            // Let the readers get ahead of the walk.
            if (++found == 1) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (auto* seen = dynamic_cast<TSeenAhead*>(w.WorkDone())) {
                ++ahead;
                EXPECT_EQ(seen->name, r.RealName()) << p;
                EXPECT_EQ(seen->folder, FolderId(w.FolderDescriptor())) << p;
            } else {
                EXPECT_EQ(w.WorkDone(), nullptr);
            }
        };
        RunLogged(w, root, log);
        EXPECT_EQ(log.lines, plain);
        EXPECT_GT(ahead, 0);
        EXPECT_LE(ahead, given.load());
        EXPECT_EQ(w.WorkDone(), nullptr); // only valid inside the report
    }
}

TEST_F(WalkerThreadsTest, ReadersThatWaitAreJoinedByMoreWithTheSameEvents) {
    MakeAwkwardTree();
    const std::vector<std::string> plain = WalkEvents(root, {});
    TEventLog log;
    TFileSearch w;
    w.Threads = 1;
    std::mutex mutex;
    std::set<std::thread::id> readers;
    ::sync(); // written out, so that the page cache may let the files go
    // Work that reads from the disk: each file is let go from the page cache first.
    w.AheadWork = [&](int fd, const TSearchRec& rec) -> std::unique_ptr<TEntryWork> {
        const int file = ::openat(fd, rec.RealName().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (file >= 0) {
            char byte;
            ::posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED);
            const ssize_t got = ::pread(file, &byte, 1, 0);
            ::close(file);
            EXPECT_LE(got, 1);
        }
        std::lock_guard<std::mutex> lock(mutex);
        readers.insert(std::this_thread::get_id());
        return nullptr;
    };
    w.OnEnterFolder = [&](const std::string& p, const TSearchRec& r) { log.Rec("enter", p, r); };
    int found = 0;
    w.OnFileFound = [&](const std::string& p, const TSearchRec& r) {
        log.Rec("found", p, r);
        // Let the readers get ahead of the walk.
        if (++found == 1) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    RunLogged(w, root, log);
    EXPECT_EQ(log.lines, plain);
    struct statfs fs {};
    // A file system in memory never waits for a disk.
    if (::statfs(root.c_str(), &fs) == 0 && fs.f_type == 0x01021994 && readers.size() == 1)
        GTEST_SKIP() << "the temporary folder is in memory: no reader waits for the disk";
    EXPECT_GT(readers.size(), 1u);
    EXPECT_LE(readers.size(), TFolderPrefetch::MaxThreadsFor(1));
}

TEST(AskForSpans, OnlyPlainFilesWithDataThatTheWorkReads) {
    TTempFolder tmp;
    tmp.Write("a.mp3", std::string(100, 'a'));
    tmp.Write("b.mp3", std::string(5000, 'b'));
    tmp.Write("c.txt", "not claimed");
    tmp.Write("empty.mp3", "");
    tmp.MakeFolder("folder.mp3");
    ASSERT_EQ(::mkfifo(tmp.File("fifo.mp3").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("a.mp3", tmp.File("link.mp3").c_str()), 0);
    // A file of holes only reads as zeros without the disk.
    const int holes = ::open(tmp.File("holes.mp3").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(holes, 0);
    ASSERT_EQ(::ftruncate(holes, 1 << 20), 0);
    ::close(holes);

    auto askIn = [&](std::vector<std::string>& asked) {
        const int fd = ::open(tmp.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        TFolderListing listing;
        ReadFolderListing(fd, TReaderIdentity::Current(), listing, {});
        const size_t n = AskForSpans(fd, listing.entries, [&](const TSearchRec& rec) {
            asked.push_back(rec.Name);
            return rec.Name.size() > 4 && rec.Name.substr(rec.Name.size() - 4) == ".mp3"
                       ? TReadSpans{4096, 4096}
                       : TReadSpans{};
        });
        ::close(fd);
        std::sort(asked.begin(), asked.end());
        return n;
    };
    // Where the file system does not count blocks truly, holes are data.
    struct stat st;
    ASSERT_EQ(::stat(tmp.File("holes.mp3").c_str(), &st), 0);
    const bool holesKnown = st.st_blocks == 0;
    std::vector<std::string> asked;
    EXPECT_EQ(askIn(asked), holesKnown ? 2u : 3u);
    std::vector<std::string> want{"a.mp3", "b.mp3", "c.txt"};
    if (!holesKnown) want.insert(want.begin() + 2, "holes.mp3");
    EXPECT_EQ(asked, want);
    // One file alone is read as soon as it would be asked for.
    fs::remove(tmp.File("b.mp3"));
    asked.clear();
    EXPECT_EQ(askIn(asked), holesKnown ? 0u : 2u);
}
