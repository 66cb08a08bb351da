#include "../support/unprivileged.h"
#include "support/temp_folder.h"
#include "text/name_text.h"
#include "walk/walker.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class WalkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = tmp.Path() + "/";
        walker.OnEnterFolder = [this](const std::string& f, const TSearchRec& r) {
            std::string rel = f.substr(root.size());
            log.push_back(rel.empty() ? "enter root" : "enter " + rel + " [" + r.Name + "]");
        };
        walker.OnFileFound = [this](const std::string& f, const TSearchRec& r) {
            log.push_back(f.substr(root.size()) + r.Name);
            recs.push_back(r);
        };
        walker.OnError = [this](const std::string& p, int err) {
            errors.push_back(p.substr(std::min(p.size(), root.size())) + ":" + std::to_string(err));
        };
    }
    void File(const std::string& rel, const std::string& data = "x") {
        WriteFile(root + rel, data);
    }
    void Dir(const std::string& rel) { fs::create_directories(root + rel); }
    void Walk(const std::string& mask = "*.*", uint16_t levels = 0, bool foldersOnly = false) {
        log.clear();
        recs.clear();
        errors.clear();
        walker.Search(root + mask, levels, foldersOnly);
    }
    const TSearchRec* Rec(const std::string& name) const {
        for (const TSearchRec& r : recs)
            if (r.Name == name) return &r;
        return nullptr;
    }

    TTempFolder tmp;
    std::string root;
    TFileSearch walker;
    std::vector<std::string> log, errors;
    std::vector<TSearchRec> recs;
    std::error_code ec;
};

using Lines = std::vector<std::string>;

// Depth first, pre-order; every folder's entries in the catalog's order
// (case-insensitive, then the exact bytes), subfolders after the entries.
TEST_F(WalkerTest, OrderAndLevels) {
    File("b");
    File("B");
    File("a");
    File("_x");
    File("C.txt");
    File("sub/deep/f");
    File("sub/e");
    Dir("Empty");
    Walk();
    EXPECT_EQ(log, (Lines{"enter root", "a", "B", "b", "C.txt", "Empty", "sub", "_x",
                          "enter Empty/ [Empty]", "enter sub/ [sub]", "sub/deep", "sub/e",
                          "enter sub/deep/ [deep]", "sub/deep/f"}));
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(walker.Searching);

    Walk("*.*", 1);
    EXPECT_EQ(log.size(), 8u); // the root announced and its seven entries
    Walk("*.*", 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "enter sub/deep/ [deep]"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "enter sub/ [sub]"), 1);
}

TEST_F(WalkerTest, MasksItemsFoldersOnlyAndResults) {
    File("a.txt");
    File("b.LOG");
    File("d/c.txt");
    File("d/e.log");
    int done = 0;
    walker.OnSearchDone = [&](TFileSearch& w) {
        ++done;
        EXPECT_TRUE(w.Searching);
    };
    Walk("*.txt;*.log");
    EXPECT_EQ(log, (Lines{"enter root", "a.txt", "enter d/ [d]", "d/c.txt", "enter root", "b.LOG",
                          "enter d/ [d]", "d/e.log"}));
    EXPECT_EQ(done, 1);
    EXPECT_EQ(walker.Results,
              (Lines{root + "a.txt", root + "d/c.txt", root + "b.LOG", root + "d/e.log"}));

    // FoldersOnly limits the event, not Results
    Walk("*.*", 0, true);
    EXPECT_EQ(log, (Lines{"enter root", "d", "enter d/ [d]"}));
    EXPECT_EQ(walker.Results.size(), 5u);

    // the same path twice: kept once unless duplicates are wanted
    Walk("*.txt;*.txt");
    EXPECT_EQ(walker.Results.size(), 2u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "a.txt"), 2);
    walker.NoDuplicates = false;
    Walk("*.txt;*.txt");
    EXPECT_EQ(walker.Results.size(), 4u);

    EXPECT_TRUE(MatchesMask("Song.MP3", "*.mp3"));
    EXPECT_FALSE(MatchesMask("song.mp3.bak", "*.mp3"));
    EXPECT_TRUE(MatchesMask("README", "*."));
    EXPECT_FALSE(MatchesMask("a.b", "*."));
    EXPECT_TRUE(MatchesMask("abc", "a?c"));
    EXPECT_TRUE(MatchesMask("noext", "*.*"));
}

TEST_F(WalkerTest, FolderNamesWithSemicolonsAreNotSplit) {
    File("a;b/x.txt");
    std::string name;
    walker.OnEnterFolder = [&](const std::string&, const TSearchRec& r) { name = r.Name; };
    root += "a;b/";
    Walk();
    EXPECT_EQ(log, (Lines{"x.txt"}));
    EXPECT_EQ(name, "a;b");
}

TEST_F(WalkerTest, AttributesSizesAndTimes) {
    File(".hidden");
    File("ro", "12345");
    fs::permissions(root + "ro", fs::perms::owner_read | fs::perms::group_read);
    File("rw", "1");
    Dir("dir");
    // a sparse file beyond 4 GiB costs no disk
    int fd = open((root + "huge").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 5000000000LL), 0);
    close(fd);
    timespec times[2] = {{0, UTIME_OMIT}, {1110205210, 500000000}}; // 2005-03-07 14:20:10.5
    ASSERT_EQ(utimensat(AT_FDCWD, (root + "rw").c_str(), times, 0), 0);
    Walk();
    ASSERT_EQ(recs.size(), 5u);
    EXPECT_EQ(Rec(".hidden")->Attr, faHidden);
    EXPECT_EQ(Rec("ro")->Attr, faReadOnly);
    EXPECT_EQ(Rec("ro")->Size, 5);
    EXPECT_EQ(Rec("rw")->Attr, 0u);
    EXPECT_DOUBLE_EQ(Rec("rw")->Time, UnixToDateTime(1110205210, 500000000));
    EXPECT_EQ(Rec("dir")->Attr, faDirectory);
    EXPECT_EQ(Rec("dir")->Size, 0);
    EXPECT_EQ(Rec("huge")->Size, 5000000000LL);
}

// Only a file whose whole size lies in holes is marked so, and only where the
// file system counts blocks truly; data kept in the inode is never mistaken
// for holes. What a file system counts is asked of the disk, not assumed.
TEST_F(WalkerTest, FilesOfHolesOnlyAreMarked) {
    auto sparse = [&](const std::string& name, off_t size, off_t dataAt = -1) {
        int fd = open((root + name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, size), 0);
        if (dataAt >= 0) {
            ASSERT_EQ(pwrite(fd, "x", 1, dataAt), 1);
        }
        close(fd);
    };
    sparse("holes", 3000000);
    sparse("tail", 3000000, 2999999);
    sparse("head", 3000000, 0);
    sparse("small", 4096);
    File("data", std::string(10000, '\0'));
    ASSERT_EQ(mkfifo((root + "fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink("holes", (root + "link").c_str()), 0);
    Walk();
    for (const char* name : {"tail", "head", "small", "data", "fifo", "link"})
        EXPECT_FALSE(Rec(name)->OnlyHoles) << name;
    // The file systems Linux machines keep their files on.
    struct statfs fs {};
    ASSERT_EQ(statfs(root.c_str(), &fs), 0);
    const auto type = static_cast<unsigned long>(fs.f_type);
    if (type != 0xEF53 && type != 0x58465342 && type != 0x9123683E && type != 0x01021994)
        GTEST_SKIP() << "blocks are not trusted on this file system";
    EXPECT_TRUE(Rec("holes")->OnlyHoles);
}

// Links are recorded, never followed; special files are recorded, never opened.
TEST_F(WalkerTest, LinksAndSpecialFiles) {
    File("real/f");
    ASSERT_EQ(symlink("real", (root + "to_real").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (root + "broken").c_str()), 0);
    ASSERT_EQ(symlink("..", (root + "real/up").c_str()), 0);
    ASSERT_EQ(symlink("loop", (root + "loop").c_str()), 0);
    ASSERT_EQ(mkfifo((root + "fifo").c_str(), 0644), 0);
    Walk();
    EXPECT_EQ(log, (Lines{"enter root", "broken", "fifo", "loop", "real", "to_real",
                          "enter real/ [real]", "real/f", "real/up"}));
    EXPECT_EQ(Rec("broken")->Attr, faSymLink);
    EXPECT_EQ(Rec("broken")->Size, 7); // the link itself
    EXPECT_EQ(Rec("to_real")->Attr, faSymLink);
    EXPECT_EQ(Rec("fifo")->Attr, faSysFile);
    EXPECT_TRUE(errors.empty());
}

// Odd names are reported readable and opened by their real bytes.
TEST_F(WalkerTest, NamesWithNewlinesAndInvalidUtf8) {
    File("line\nbreak");
    File("caf\xE9/inner.txt", "abc");
    File("café", "a twin that only looks alike");
    Walk();
    ASSERT_NE(Rec("line\nbreak"), nullptr);
    const TSearchRec* bad = Rec(nametext::DiskToCaption("caf\xE9"));
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->NativeName, "caf\xE9");
    EXPECT_EQ(bad->RealName(), "caf\xE9");
    EXPECT_TRUE(nametext::IsValidUtf8(bad->Name));
    ASSERT_NE(Rec("inner.txt"), nullptr);
    EXPECT_EQ(walker.Results.back(), root + "caf\xE9/inner.txt");
    EXPECT_TRUE(fs::exists(walker.Results.back()));
    ASSERT_NE(Rec("café"), nullptr);
    EXPECT_EQ(Rec("café")->Size, 28);
}

TEST_F(WalkerTest, UnreadableFolderIsRecordedAndReportedOnce) {
    if (RerunUnprivileged()) return;
    File("closed/secret");
    File("open/f");
    fs::permissions(root + "closed", fs::perms::none);
    Walk();
    EXPECT_EQ(log, (Lines{"enter root", "closed", "open", "enter closed/ [closed]",
                          "enter open/ [open]", "open/f"}));
    EXPECT_EQ(errors, Lines{"closed/:" + std::to_string(EACCES)});
}

// A folder that can be listed but not searched (mode 644): its entries are
// known by name, marked as unread, and none of them is entered.
TEST_F(WalkerTest, ListableButNotSearchableFolder) {
    if (RerunUnprivileged()) return;
    File("half/file", "12345");
    File("half/sub/deep");
    fs::permissions(root + "half", fs::perms(0644));
    Walk();
    EXPECT_EQ(log, (Lines{"enter root", "half", "enter half/ [half]", "half/file", "half/sub"}));
    ASSERT_NE(Rec("file"), nullptr);
    EXPECT_EQ(Rec("file")->Error, EACCES);
    EXPECT_EQ(Rec("file")->Size, 0);
    EXPECT_EQ(Rec("file")->Time, 0);
    EXPECT_TRUE(Rec("sub")->IsDirectory());
    EXPECT_EQ(errors, Lines{"half/file:" + std::to_string(EACCES)}); // once per folder
}

// A root whose name holds wildcards and ";" is walked as the folder it is.
TEST_F(WalkerTest, SearchFolderTakesTheNameAsItIs) {
    File("x;*.mp3/in.txt");
    File("other/no.txt");
    log.clear();
    recs.clear();
    walker.SearchFolder(root + "x;*.mp3", 0, false);
    EXPECT_EQ(log, (Lines{"enter x;*.mp3/ [x;*.mp3]", "x;*.mp3/in.txt"}));
    recs.clear();
    walker.SearchFolder(root + "x;*.mp3/", 0, false);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].Name, "in.txt");
}

// Depth costs neither the stack nor one descriptor per level.
TEST_F(WalkerTest, DeepTreesKeepDescriptorsBounded) {
    const int depth = 300;
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
        int f = openat(fd, "f", O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(f, 0);
        close(f);
        int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    close(fd);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    int files = 0, folders = 0;
    walker.OnFileFound = [&](const std::string&, const TSearchRec& r) {
        ++(r.IsDirectory() ? folders : files);
    };
    walker.OnError = [&](const std::string&, int err) { errors.push_back(std::to_string(err)); };
    errors.clear();
    walker.KeepResults = false;
    walker.SearchFolder(root, 0, false);
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(files, depth);
    EXPECT_EQ(folders, depth);
    EXPECT_TRUE(errors.empty()) << errors.front();
    // leave the tree removable
    fs::remove_all(root + "d", ec);
}

TEST_F(WalkerTest, PathsLongerThanTheSystemLimit) {
    // Built with relative steps: the whole path is longer than PATH_MAX.
    std::string comp(200, 'n');
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(mkdirat(fd, comp.c_str(), 0755), 0);
        int next = openat(fd, comp.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    int f = openat(fd, "leaf", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(f, 0);
    close(f);
    close(fd);
    std::string deepest;
    walker.OnFileFound = [&](const std::string& folder, const TSearchRec& r) {
        if (r.Name == "leaf") deepest = folder;
    };
    Walk();
    EXPECT_EQ(deepest.size(), root.size() + 25 * 201);
    EXPECT_TRUE(errors.empty());
    // leave the tree removable by relative steps
    fs::remove_all(root + comp, ec);
}

TEST_F(WalkerTest, StopAndHandlerErrors) {
    for (const char* n : {"a", "b", "c", "d/e"})
        File(n);
    int done = 0;
    walker.OnSearchDone = [&](TFileSearch&) { ++done; };
    walker.OnFileFound = [&](const std::string&, const TSearchRec& r) {
        log.push_back(r.Name);
        if (r.Name == "b") walker.StopSearch = true;
    };
    Walk();
    EXPECT_EQ(log, (Lines{"enter root", "a", "b"}));
    EXPECT_EQ(walker.Results.size(), 2u);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(walker.StopSearch); // stays set until the next search

    // a stop asked through the poll callback
    bool stopNow = false;
    walker.OnPoll = [&] { return stopNow; };
    walker.OnFileFound = [&](const std::string&, const TSearchRec& r) {
        log.push_back(r.Name);
        stopNow = true;
    };
    Walk();
    EXPECT_EQ(log, (Lines{"enter root", "a"}));
    walker.OnPoll = nullptr;

    // a handler error ends the walk and reaches the caller
    walker.OnFileFound = [&](const std::string&, const TSearchRec&) {
        throw std::runtime_error("handler");
    };
    EXPECT_THROW(Walk(), std::runtime_error);
    EXPECT_FALSE(walker.Searching);
}

TEST_F(WalkerTest, MissingAndEmptyRoots) {
    int done = 0;
    walker.OnSearchDone = [&](TFileSearch&) { ++done; };
    Walk();
    EXPECT_EQ(log, Lines{"enter root"});
    EXPECT_EQ(done, 1);
    root += "missing/";
    Walk();
    EXPECT_EQ(log, Lines{"enter root"});
    EXPECT_EQ(errors, Lines{":" + std::to_string(ENOENT)});
}

} // namespace
