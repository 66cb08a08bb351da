// What the commands are given to read: FIFOs, folders, sockets and devices
// are refused at once with what they are (never waited on), a file that is
// not a saved search is no search, and the settings file is read and saved
// with the same care as a catalog.
#include "catalog/catalog_file.h"
#include "search/cli_runner.h"
#include "search/saved_search.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

// The exit code, or -1 when the command was still running after 10 seconds
// (it is killed then).
int RunWithin(const TCliRun& run) {
    pid_t pid = run.Start();
    for (int i = 0; i < 1000; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

class InputKinds : public ::testing::Test {
protected:
    void SetUp() override {
        TLibObj lib;
        TCatalogBuilder b(lib);
        b.File(b.Volume("V"), "a.txt", 1);
        TNullProgress quiet;
        SaveToFile(lib, cat, quiet);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
        fs::create_symlink(fifo, tmp.File("link.txc"));
        tmp.MakeFolder("folder");
        run.Settings = tmp.File("s.ini");
        run.Err = tmp.File("err.txt");
        run.Out = tmp.File("out.txt");
    }
    // Runs `args` and expects a quick exit 1 whose message names the kind.
    void ExpectRefused(const std::vector<std::string>& args, const std::string& kind) {
        run.Args = args;
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        EXPECT_EQ(RunWithin(run), 1);
        const std::string err = ReadFile(run.Err);
        EXPECT_NE(err.find("This is " + kind + ", not a file"), std::string::npos) << err;
        EXPECT_EQ(err.find("File not found"), std::string::npos) << err;
    }
    TTempFolder tmp;
    const std::string cat = tmp.File("c.txc"), fifo = tmp.File("fifo");
    TCliRun run;
};

TEST_F(InputKinds, FifosAreRefusedAtOnceAsCatalogsAndAsInputs) {
    const std::string link = tmp.File("link.txc");
    for (const std::string& c : {fifo, link}) {
        ExpectRefused({"ls", c}, "a FIFO (named pipe)");
        ExpectRefused({"tree", c}, "a FIFO (named pipe)");
        ExpectRefused({"info", c}, "a FIFO (named pipe)");
        ExpectRefused({"search", c, "--name", "a"}, "a FIFO (named pipe)");
        ExpectRefused({"scan", c, tmp.File("folder")}, "a FIFO (named pipe)");
        ExpectRefused({"edit", c, "V", "--category", "x"}, "a FIFO (named pipe)");
        ExpectRefused({"import-catalog", c, tmp.Write("p.json", "{}")}, "a FIFO (named pipe)");
        ExpectRefused({"export", c, tmp.File("out.csv")}, "a FIFO (named pipe)");
    }
    // A FIFO to read from: the import reads nothing and says it did not.
    ExpectRefused({"import", cat, fifo}, "a FIFO (named pipe)");
    ExpectRefused({"import-catalog", cat, link}, "a FIFO (named pipe)");
    ExpectRefused({"search", cat, "--load", fifo}, "a FIFO (named pipe)");
    ExpectRefused({"export", cat, tmp.File("out.csv"), "--search", fifo}, "a FIFO (named pipe)");
    EXPECT_FALSE(fs::exists(tmp.File("out.csv")));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(InputKinds, FoldersSocketsAndDevicesAreNamedForWhatTheyAre) {
    ExpectRefused({"ls", tmp.File("folder")}, "a folder");
    ExpectRefused({"import", cat, tmp.File("folder")}, "a folder");
    ExpectRefused({"search", cat, "--load", tmp.File("folder")}, "a folder");
    const std::string sock = tmp.File("sock");
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ExpectRefused({"ls", sock}, "a socket");
    ExpectRefused({"import", cat, sock}, "a socket");
    ::close(s);
    // A device gives bytes for ever, or none that mean anything.
    ExpectRefused({"import", cat, "/dev/zero"}, "a device");
    ExpectRefused({"ls", "/dev/null"}, "a device");
    // What is missing is still "not found".
    run.Args = {"ls", tmp.File("missing.txc")};
    EXPECT_EQ(RunWithin(run), 1);
    EXPECT_NE(ReadFile(run.Err).find("File not found"), std::string::npos);
}

TEST_F(InputKinds, AFileThatIsNoSavedSearchIsRefused) {
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"empty.txs", ""},
        {"other.txs", "[Other]\r\nFile=a\r\n"},
        {"prose.txs", "just some words\nin lines\n"},
        {"bare.txs", "[Search]\r\n; only a comment\r\n"},
    };
    for (const auto& [name, text] : texts) {
        SCOPED_TRACE(name);
        const std::string f = tmp.Write(name, text);
        TSearchCriteria c;
        c.Name = "kept";
        try {
            LoadSearch(f, c);
            ADD_FAILURE() << "loaded";
        } catch (const EMessageError& e) {
            EXPECT_EQ(e.Key, "errNotSavedSearch");
        }
        EXPECT_EQ(c.Name, "kept");
        run.Args = {"export", cat, tmp.File("found.csv"), "--search", f};
        EXPECT_EQ(RunWithin(run), 1);
        EXPECT_NE(ReadFile(run.Err).find("Not a saved search"), std::string::npos);
        EXPECT_FALSE(fs::exists(tmp.File("found.csv")));
        run.Args = {"search", cat, "--load", f};
        EXPECT_EQ(RunWithin(run), 1);
        EXPECT_EQ(ReadFile(run.Out), "");
    }
    // A real one still loads, also with nothing but one criterion.
    TSearchCriteria c;
    LoadSearch(tmp.Write("one.txs", "[Search]\r\nType=txt\r\n"), c);
    EXPECT_EQ(c.Type, "txt");
}

class SettingsFile : public InputKinds {
protected:
    // Changes a stored value: the handler table is saved to the settings.
    int Disable(const std::string& settings, bool asNobody = false) {
        run.Settings = settings;
        run.AsNobody = asNobody;
        run.Args = {"handlers", "--disable", "AAC"};
        return RunWithin(run);
    }
};

TEST_F(SettingsFile, OwnerGroupAndModeAreKeptAndDevicesAreNeverReplaced) {
    const std::string s = tmp.File("mine.ini");
    ASSERT_EQ(Disable(s), 0) << ReadFile(run.Err);
    ASSERT_NE(ReadFile(s).find("AAC"), std::string::npos);
    ::chmod(s.c_str(), 0640);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(s.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    ::stat(s.c_str(), &before);
    run.Args = {"handlers", "--enable", "AAC"};
    ASSERT_EQ(RunWithin(run), 0) << ReadFile(run.Err);
    struct stat after {};
    ::stat(s.c_str(), &after);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_empty(tmp.Path() + "/folder"));
    // A device node (a null device of our own, as root) stands for no
    // settings: read as empty, never replaced by a saved file.
    const std::string dev = tmp.File("null");
    if (::geteuid() == 0) {
        ASSERT_EQ(::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        EXPECT_EQ(Disable(dev), 1);
        EXPECT_NE(ReadFile(run.Err).find("Not a regular file, nothing was written"),
                  std::string::npos)
            << ReadFile(run.Err);
        EXPECT_TRUE(fs::is_character_file(dev));
        run.Args = {"ls", cat};
        EXPECT_EQ(RunWithin(run), 0) << ReadFile(run.Err);
    }
}

TEST_F(SettingsFile, AFailedSaveIsAnErrorAndAFifoIsNeverWaitedOn) {
    EXPECT_EQ(Disable(tmp.File("folder")), 1);
    EXPECT_NE(ReadFile(run.Err).find("This is a folder"), std::string::npos);
    EXPECT_EQ(Disable(fifo), 1);
    EXPECT_NE(ReadFile(run.Err).find("This is a FIFO"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(fifo));
    // As the user 65534: a file it may not write, and a folder it may not write in.
    if (::geteuid() != 0) return;
    ::chmod(tmp.Path().c_str(), 0755);
    ::chmod(tmp.MakeFolder("rw").c_str(), 0777);
    const std::string ro = tmp.Write("rw/mode444.ini", "[General]\nVersion=1\n");
    ::chmod(ro.c_str(), 0444);
    ASSERT_EQ(::chown(ro.c_str(), 65534, 65534), 0);
    EXPECT_EQ(Disable(ro, true), 1);
    EXPECT_NE(ReadFile(run.Err).find("Cannot write file"), std::string::npos) << ReadFile(run.Err);
    EXPECT_EQ(ReadFile(ro), "[General]\nVersion=1\n");
    const std::string inRo = tmp.Write("ro/s.ini", "[General]\nVersion=1\n");
    ::chmod(inRo.c_str(), 0666);
    ::chmod(tmp.File("ro").c_str(), 0555);
    EXPECT_EQ(Disable(inRo, true), 1);
    EXPECT_NE(ReadFile(run.Err).find("is read-only"), std::string::npos) << ReadFile(run.Err);
    EXPECT_EQ(ReadFile(inRo), "[General]\nVersion=1\n");
}

} // namespace
