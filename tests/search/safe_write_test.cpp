// Where the safe writer may and may not write: links, special files, modes,
// read-only folders, its own temporary file, and texts too long to store.
#include "catalog/catalog_file.h"
#include "files/safe_file.h"
#include "search/cli_runner.h"
#include "search/export.h"
#include "search/saved_search.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

namespace {

namespace fs = std::filesystem;

std::string ErrorKey(const std::function<void()>& f) {
    try {
        f();
    } catch (const EMessageError& e) {
        return e.Key;
    }
    return "none";
}

// Our hidden temporary files in a folder.
int TempFilesIn(const std::string& folder) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        if (name.size() > 12 && name.compare(name.size() - 12, 12, ".tamblix-tmp") == 0) ++n;
    }
    return n;
}

TEST(SafeWriteTargets, ALinkKeepsBeingALinkAndItsTargetIsReplaced) {
    TTempFolder tmp;
    fs::create_directory(tmp.File("real"));
    WriteFile(tmp.File("real/cat.txc"), "old");
    ::chmod(tmp.File("real/cat.txc").c_str(), 0640);
    // A relative link through another link.
    fs::create_symlink("real/cat.txc", tmp.File("link1"));
    fs::create_symlink("link1", tmp.File("link2.txc"));
    WriteFileAtomically(tmp.File("link2.txc"), "new");
    EXPECT_TRUE(fs::is_symlink(tmp.File("link2.txc")));
    EXPECT_TRUE(fs::is_symlink(tmp.File("link1")));
    EXPECT_EQ(ReadFile(tmp.File("real/cat.txc")), "new");
    EXPECT_EQ(fs::status(tmp.File("real/cat.txc")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(TempFilesIn(tmp.Path()) + TempFilesIn(tmp.File("real")), 0);

    // A dangling link creates its target; a loop is an error.
    fs::create_symlink("made.txt", tmp.File("dangling"));
    WriteFileAtomically(tmp.File("dangling"), "x");
    EXPECT_TRUE(fs::is_symlink(tmp.File("dangling")));
    EXPECT_EQ(ReadFile(tmp.File("made.txt")), "x");
    fs::create_symlink("loopB", tmp.File("loopA"));
    fs::create_symlink("loopA", tmp.File("loopB"));
    EXPECT_EQ(ErrorKey([&] { WriteFileAtomically(tmp.File("loopA"), "x"); }), "errWrite");
}

TEST(SafeWriteTargets, SpecialFilesAreRefusedAndLeftAsTheyWere) {
    TTempFolder tmp;
    const std::string fifo = tmp.File("fifo"), folder = tmp.File("folder"), sock = tmp.File("sock");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_directory(folder);
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::vector<std::string> targets = {fifo, folder, sock, folder + "/"};
    // A device node of our own (as root): a null device, harmless if it were written.
    const std::string dev = tmp.File("null");
    if (::geteuid() == 0 && ::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back(dev);
    // A link to a special file is refused the same way.
    fs::create_symlink(fifo, tmp.File("to-fifo"));
    targets.push_back(tmp.File("to-fifo"));
    for (const auto& t : targets) {
        EXPECT_EQ(ErrorKey([&] { WriteFileAtomically(t, "data"); }), "errNotRegular") << t;
        EXPECT_EQ(TempFilesIn(tmp.Path()), 0) << t;
    }
    ::close(s);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_socket(sock));
    EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder));
    if (fs::exists(dev)) {
        EXPECT_TRUE(fs::is_character_file(dev));
    }
    EXPECT_TRUE(fs::is_symlink(tmp.File("to-fifo")));

    // The export says so and writes nothing.
    TLibObj lib;
    TCatalogBuilder(lib).File(TCatalogBuilder(lib).Volume("V"), "a", 1);
    TExportOptions o;
    o.FileName = fifo;
    TRecordingProgress progress;
    EXPECT_EQ(ErrorKey([&] { RunExport(lib, o, TExportScope::Library, {}, nullptr, progress); }),
              "errNotRegular");
    ASSERT_FALSE(progress.Logged.empty());
    EXPECT_EQ(progress.Logged.back(), "Export failed: " + fifo);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(SafeWriteTargets, ModeAndGroupOfTheOldFileAreKept) {
    TTempFolder tmp;
    const std::string f = tmp.File("list.txt");
    WriteFile(f, "old");
    ::chmod(f.c_str(), 0604);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    ::stat(f.c_str(), &before);
    WriteFileAtomically(f, "new");
    struct stat after {};
    ::stat(f.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0604u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_NE(after.st_ino, before.st_ino); // replaced, not written in place
    EXPECT_EQ(ReadFile(f), "new");
}

TEST(SafeWriteTargets, AStaleTemporaryFileIsReusedAndOnlyOneCanExist) {
    TTempFolder tmp;
    const std::string f = tmp.File("cat.txc");
    WriteFile(f, "old");
    const std::string stale = SafeWriteTempPath(f);
    EXPECT_EQ(stale, tmp.File(".cat.txc." + std::to_string(::geteuid()) + ".tamblix-tmp"));
    WriteFile(stale, std::string(100000, 'j')); // left by a killed save
    {
        TSafeFileWriter w(f);
        EXPECT_EQ(w.TempPath(), stale);
        EXPECT_EQ(fs::file_size(stale), 0u);
        // A second save of the same file meanwhile is refused, not mixed in.
        EXPECT_EQ(ErrorKey([&] { TSafeFileWriter second(f); }), "errWrite");
        w.Write("new");
        w.Commit();
    }
    EXPECT_EQ(ReadFile(f), "new");
    EXPECT_EQ(TempFilesIn(tmp.Path()), 0);
    // Something else planted at our name (a link) is removed, never followed.
    WriteFile(tmp.File("victim"), "keep");
    fs::create_symlink(tmp.File("victim"), stale);
    WriteFileAtomically(f, "newer");
    EXPECT_EQ(ReadFile(tmp.File("victim")), "keep");
    EXPECT_EQ(ReadFile(f), "newer");
    // A failed write leaves the old file and no temporary file.
    {
        TSafeFileWriter w(f);
        w.Write("never committed");
    }
    EXPECT_EQ(ReadFile(f), "newer");
    EXPECT_EQ(TempFilesIn(tmp.Path()), 0);
    // A very long name still gets a temporary name that fits.
    const std::string longName = tmp.File(std::string(250, 'n'));
    WriteFileAtomically(longName, "x");
    EXPECT_EQ(ReadFile(longName), "x");
}

// The tests run as root in CI; the user 65534 finds the folder read-only.
class ReadOnlyFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ::chmod(tmp.Path().c_str(), 0755);
        fs::create_directory(tmp.File("ro"));
        fs::create_directory(tmp.File("rw"));
        ::chmod(tmp.File("ro").c_str(), 0755);
        ::chmod(tmp.File("rw").c_str(), 0777);
        run.AsNobody = ::geteuid() == 0;
        run.Settings = tmp.File("rw/settings.ini");
        run.Err = tmp.File("err.txt");
    }
    // A catalog of one file at `path`, which anyone may write: only its
    // folder may keep it from being replaced.
    void SaveCatalog(const std::string& path) {
        TLibObj lib;
        TCatalogBuilder b(lib);
        b.File(b.Volume("V"), "a.txt", 1);
        TNullProgress quiet;
        SaveToFile(lib, path, quiet);
        ::chmod(path.c_str(), 0666);
    }

    TTempFolder tmp;
    TCliRun run;
};

TEST_F(ReadOnlyFolder, SavingSaysTheFolderIsReadOnlyAndKeepsTheFile) {
    const std::string cat = tmp.File("ro/cat.txc");
    SaveCatalog(cat);
    if (!run.AsNobody) ::chmod(tmp.File("ro").c_str(), 0555);
    const std::string before = ReadFile(cat);
    // A search that replaces categories saves the catalog.
    run.Args = {"search", cat, "--replace-category", "X", "--yes"};
    EXPECT_EQ(run.Run(), 1);
    const std::string err = ReadFile(run.Err);
    EXPECT_NE(err.find("is read-only"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(cat), before);
    EXPECT_EQ(TempFilesIn(tmp.File("ro")), 0);
    // An export into the read-only folder is refused the same way.
    run.Args = {"export", cat, tmp.File("ro/out.txt")};
    EXPECT_EQ(run.Run(), 1);
    EXPECT_NE(ReadFile(run.Err).find("is read-only"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp.File("ro/out.txt")));
    // Saved elsewhere it works.
    run.Args = {"export", cat, tmp.File("rw/out.txt")};
    EXPECT_EQ(run.Run(), 0);
    EXPECT_NE(ReadFile(tmp.File("rw/out.txt")).find("a.txt"), std::string::npos);
    ::chmod(tmp.File("ro").c_str(), 0755);
}

TEST_F(ReadOnlyFolder, AFileTheUserMayNotWriteIsNotReplaced) {
    if (!run.AsNobody) GTEST_SKIP() << "needs root to act as another user";
    const std::string f = tmp.File("rw/theirs.txt");
    WriteFile(f, "theirs");
    ::chmod(f.c_str(), 0644); // root's file in a folder everyone may write
    SaveCatalog(tmp.File("rw/cat.txc"));
    run.Args = {"export", tmp.File("rw/cat.txc"), f};
    EXPECT_EQ(run.Run(), 1);
    EXPECT_EQ(ReadFile(f), "theirs");
}

// Run again as the user 65534 by the test below; skipped on its own.
TEST(ReadOnlyFolderChild, CloseOffersSaveAsAndSavesThere) {
    const char* dir = std::getenv("TAMBLIX_READ_ONLY_TEST_DIR");
    if (!dir) GTEST_SKIP() << "run by ReadOnlyFolder.CloseOffersSaveAs";
    const std::string ro = std::string(dir) + "/ro/cat.txc", rw = std::string(dir) + "/rw/cat.txc";
    TNullProgress quiet;
    // Declined: nothing written anywhere, and the close is cancelled.
    {
        TLibObj lib;
        LoadFromFile(lib, ro, false, quiet);
        lib.Modified = true;
        TFixedAnswers no(TAnswer::Yes, "");
        EXPECT_EQ(QuerySaveChanges(lib, quiet, no), TAnswer::Cancel);
        EXPECT_FALSE(fs::exists(rw));
    }
    TLibObj lib;
    LoadFromFile(lib, ro, false, quiet);
    lib.Modified = true;
    TFixedAnswers yes(TAnswer::Yes, rw);
    EXPECT_EQ(QuerySaveChanges(lib, quiet, yes), TAnswer::Yes);
    EXPECT_EQ(lib.FileName, rw);
    EXPECT_FALSE(lib.Modified);
    EXPECT_EQ(ReadFile(rw), ReadFile(ro));
}

TEST_F(ReadOnlyFolder, CloseOffersSaveAs) {
    const std::string ro = tmp.File("ro/cat.txc");
    SaveCatalog(ro);
    if (!run.AsNobody) ::chmod(tmp.File("ro").c_str(), 0555);
    const std::string before = ReadFile(ro);
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    // This test program again, running only the child test above.
    TCliRun child;
    child.Program = self;
    child.AsNobody = run.AsNobody;
    child.Args = {"--gtest_filter=ReadOnlyFolderChild.*"};
    child.Env = {{"TAMBLIX_READ_ONLY_TEST_DIR", tmp.Path()}};
    child.Out = run.Err;
    child.Err.clear();
    EXPECT_EQ(child.Run(), 0) << ReadFile(run.Err);
    EXPECT_NE(ReadFile(run.Err).find("[  PASSED  ] 1 test"), std::string::npos)
        << ReadFile(run.Err);
    EXPECT_EQ(ReadFile(ro), before);
    EXPECT_EQ(TempFilesIn(tmp.File("ro")), 0);
    ::chmod(tmp.File("ro").c_str(), 0755);
}

TEST(SafeWriteTexts, TextOverTheLimitIsCutAtACharacterAndNamed) {
    TTempFolder tmp;
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* v = b.Volume("V");
    // 65,535 bytes of "a" and then a two-byte letter that does not fit.
    std::string comment = std::string(65535, 'a') + "\xC3\xA9" + "tail";
    b.File(v, "long.txt", 1, 0, {}, comment);
    b.File(v, "short.txt", 1, 0, {}, "fine");
    TRecordingProgress progress;
    SaveToFile(lib, tmp.File("c.txc"), progress);
    ASSERT_EQ(progress.Logged.size(), 1u);
    EXPECT_EQ(progress.Logged[0], "Text over 65,536 bytes was cut: V\\long.txt");
    TLibObj back;
    TNullProgress quiet;
    LoadFromFile(back, tmp.File("c.txc"), false, quiet);
    const TLibFolderItem* e = FolderOf(back.Tree.Root(0))->FindItem("long.txt");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Comments.str(), std::string(65535, 'a'));
}

// A save is only safe once the rename that puts it in place has reached the
// disc too: after the rename the folder itself is opened and synced. strace
// watches the command-line tool save a new catalog.
TEST(SafeWriteDurability, TheFolderIsSyncedAfterTheRename) {
    TTempFolder tmp;
    const std::string log = tmp.File("trace.txt");
    const std::string cat = tmp.File("c.txc");
    TProgramRun r = RunProgram({"strace", "-f", "-qq", "-o", log, "-e",
                                "trace=openat,rename,renameat,renameat2,fsync,fdatasync",
                                // The leak checker of a sanitizer build cannot run under ptrace.
                                "env", "ASAN_OPTIONS=detect_leaks=0", TAMBLIX_CLI, "--settings",
                                tmp.File("s.ini"), "new", cat});
    ASSERT_EQ(r.ExitCode, 0) << "strace is needed (scripts/setup.sh test installs it): " << r.Err;
    // The lines: `pid rename("...tmp", "<cat>") = 0`, then
    // `pid openat(AT_FDCWD, "<folder>", O_RDONLY|O_DIRECTORY|...) = fd`, then `pid fsync(fd) = 0`.
    auto succeeded = [](const std::string& l) { return l.size() > 4 && l.ends_with(" = 0"); };
    std::istringstream lines(ReadFile(log));
    std::string line, folderFd;
    bool afterRename = false, synced = false;
    while (std::getline(lines, line)) {
        if (line.find("rename") != std::string::npos &&
            line.find(", \"" + cat + "\"") != std::string::npos && succeeded(line)) {
            afterRename = true;
        } else if (afterRename && folderFd.empty() &&
                   line.find("O_DIRECTORY") != std::string::npos &&
                   (line.find("openat(AT_FDCWD, \"" + tmp.Path() + "\"") != std::string::npos ||
                    line.find("openat(AT_FDCWD, \"" + tmp.Path() + "/\"") != std::string::npos)) {
            folderFd = line.substr(line.rfind("= ") + 2);
        } else if (!folderFd.empty() &&
                   line.find(" fsync(" + folderFd + ")") != std::string::npos) {
            synced = succeeded(line);
        }
    }
    EXPECT_TRUE(afterRename) << ReadFile(log);
    EXPECT_FALSE(folderFd.empty()) << ReadFile(log);
    EXPECT_TRUE(synced) << ReadFile(log);
}

} // namespace
