// The writer lock on a catalog, between threads and processes, and the
// window's save of a catalog that another program changed.
#include "catalog/catalog_file.h"
#include "catalog/catalog_lock.h"
#include "files/safe_file.h"
#include "support/catalog_builder.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The lock's error, or an empty key when the lock was taken.
EMessageError TryLock(const std::string& path, int waitMs) {
    try {
        TCatalogLock::Acquire(path, waitMs);
    } catch (const EMessageError& e) {
        return e;
    }
    return EMessageError("");
}

// Answers in order (then Ok), save paths in order (then cancel); keeps the keys asked.
class TQueuedAnswers : public IQuestions {
public:
    TQueuedAnswers(std::vector<TAnswer> answers, std::vector<std::string> paths = {})
        : answers_(std::move(answers)), paths_(std::move(paths)) {}
    TAnswer Ask(const std::string& key, const std::string&, TButtons) override {
        Asked.push_back(key);
        if (next_ >= answers_.size()) return TAnswer::Ok;
        return answers_[next_++];
    }
    void ShowError(const std::string& key, const std::string&) override { Asked.push_back(key); }
    std::string AskSavePath(const std::string&) override {
        return nextPath_ < paths_.size() ? paths_[nextPath_++] : std::string();
    }
    std::vector<std::string> Asked;

private:
    std::vector<TAnswer> answers_;
    std::vector<std::string> paths_;
    size_t next_ = 0, nextPath_ = 0;
};

bool LockedNow(const std::string& path) {
    return TryLock(path, 0).Key == "errCatalogLocked";
}

// A process of its own that holds the lock until told to let go.
class THolderProcess {
public:
    explicit THolderProcess(const std::string& path) {
        int ready[2], go[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(go), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(go[1]); // else its own copy keeps the pipe from ending
            ::close(ready[0]);
            TCatalogLock lock = TCatalogLock::Acquire(path, 0);
            char c = lock.Held() ? 'y' : 'n';
            (void)!::write(ready[1], &c, 1);
            (void)!::read(go[0], &c, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(go[0]);
        char c = 0;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        EXPECT_EQ(c, 'y');
        ::close(ready[0]);
        go_ = go[1];
    }
    ~THolderProcess() { Release(); }
    void Release() {
        if (pid_ <= 0) return;
        ::close(go_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int go_ = -1;
};

TEST(CatalogLock, AnotherProcessIsWaitedForThenNamed) {
    TTempFolder tmp;
    const std::string path = tmp.Write("c.txc", "catalog");
    THolderProcess holder(path);
    auto start = std::chrono::steady_clock::now();
    EMessageError e = TryLock(path, 150);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    ASSERT_EQ(e.Key, "errCatalogLocked");
    EXPECT_NE(e.Arg.find(path), std::string::npos) << e.Arg;
    EXPECT_NE(e.Arg.find("process " + std::to_string(holder.Pid())), std::string::npos) << e.Arg;
    EXPECT_NE(TCatalogLock::Holder(path).find(std::to_string(holder.Pid())), std::string::npos);

    // A writer still waiting when the holder ends gets the lock.
    auto waiting = std::async(std::launch::async, [&] { return TryLock(path, 10000).Key; });
    std::this_thread::sleep_for(50ms);
    holder.Release();
    EXPECT_EQ(waiting.get(), "");
    EXPECT_EQ(TCatalogLock::Holder(path), "");
}

// Two processes hand the lock to each other without a pause; a writer that
// finds it taken always names a holder, even when it looked between hands.
TEST(CatalogLock, ALockPassedBetweenProcessesIsAlwaysNamed) {
    TTempFolder tmp;
    const std::string path = tmp.Write("c.txc", "catalog");
    std::vector<pid_t> passers;
    for (int i = 0; i < 2; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            for (auto end = std::chrono::steady_clock::now() + 2s;
                 std::chrono::steady_clock::now() < end;) {
                ::flock(fd, LOCK_EX);
                std::this_thread::sleep_for(100us);
                ::flock(fd, LOCK_UN);
            }
            ::_exit(0);
        }
        passers.push_back(pid);
    }
    int refused = 0;
    for (auto end = std::chrono::steady_clock::now() + 1500ms;
         std::chrono::steady_clock::now() < end;) {
        EMessageError e = TryLock(path, 0);
        if (e.Key.empty()) continue;
        ++refused;
        ASSERT_NE(e.Arg.find(", process "), std::string::npos) << e.Arg;
    }
    for (pid_t pid : passers)
        ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
    EXPECT_GT(refused, 0);
}

TEST(CatalogLock, AWriterThatWaitedLocksTheFileNowAtThePath) {
    TTempFolder tmp;
    const std::string path = tmp.Write("c.txc", "old");
    TCatalogLock first = TCatalogLock::Acquire(path, 0);
    ASSERT_TRUE(first.Held());
    std::promise<void> locked;
    TCatalogLock second;
    std::thread waiter([&] {
        second = TCatalogLock::Acquire(path, 10000);
        locked.set_value();
    });
    std::this_thread::sleep_for(50ms);
    // The first writer's save replaces the file, then it lets go of the old one.
    WriteFileAtomically(path, "new");
    first.Release();
    locked.get_future().wait();
    waiter.join();
    EXPECT_TRUE(second.Held());
    // The lock is on the file a third writer finds there, not on the replaced one.
    EXPECT_TRUE(LockedNow(path));
    second.Release();
    EXPECT_FALSE(LockedNow(path));
}

TEST(CatalogLock, ANewCatalogIsClaimedThroughItsFolder) {
    TTempFolder tmp;
    const std::string path = tmp.File("new.txc");
    const std::string other = tmp.Write("other.txc", "x");
    TCatalogLock creating = TCatalogLock::Acquire(path, 0);
    ASSERT_TRUE(creating.Held());
    EXPECT_TRUE(LockedNow(path));
    EXPECT_FALSE(LockedNow(other)); // catalogs that exist stay free

    // The next writer, waiting, ends up on the file the first one made.
    TCatalogLock next;
    std::thread waiter([&] { next = TCatalogLock::Acquire(path, 10000); });
    std::this_thread::sleep_for(50ms);
    WriteFileAtomically(path, "made");
    creating.Release();
    waiter.join();
    ASSERT_TRUE(next.Held());
    EXPECT_TRUE(LockedNow(path));
    EXPECT_FALSE(LockedNow(tmp.File("third.txc"))); // the folder is free again
}

TEST(CatalogLock, WhatIsNoRegularFileIsLeftToTheLoad) {
    TTempFolder tmp;
    const std::string fifo = tmp.File("fifo.txc");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TCatalogLock::Acquire(fifo, 1000).Held()); // never waits for a writer
    EXPECT_FALSE(TCatalogLock::Acquire(tmp.MakeFolder("dir"), 1000).Held());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);

    // Through a link, the file it names is locked.
    const std::string target = tmp.Write("real.txc", "x");
    const std::string link = tmp.File("link.txc");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    TCatalogLock viaLink = TCatalogLock::Acquire(link, 0);
    EXPECT_TRUE(viaLink.Held());
    EXPECT_TRUE(LockedNow(target));
}

// The window's save: the file another program saved since the load is not
// replaced unasked, and what the user declines leaves it byte for byte.
TEST(CatalogLock, AWindowsSaveAsksBeforeReplacingANewerFile) {
    TTempFolder tmp;
    const std::string path = tmp.File("c.txc");
    TNullProgress quiet;
    TLibObj mine;
    TCatalogBuilder m(mine);
    m.File(m.Volume("Mine"), "a.txt", 1);
    SaveToFile(mine, path, quiet);
    TLibObj theirs;
    LoadFromFile(theirs, path, false, quiet);
    TCatalogBuilder t(theirs);
    t.File(t.Volume("Theirs"), "b.txt", 2);
    SaveToFile(theirs, path, quiet);
    const std::string saved = ReadFile(path);
    mine.Modified = true;
    EXPECT_TRUE(ChangedOnDisk(mine, path));

    TQueuedAnswers cancel({TAnswer::Cancel});
    std::string target = path;
    EXPECT_FALSE(SaveOfferingSaveAs(mine, target, quiet, cancel));
    EXPECT_EQ(cancel.Asked, std::vector<std::string>{"confNewerOnDisk"});
    EXPECT_EQ(ReadFile(path), saved);

    // No: another name, and the newer file stays.
    TQueuedAnswers elsewhere({TAnswer::No}, {tmp.File("mine.txc")});
    EXPECT_TRUE(SaveOfferingSaveAs(mine, target, quiet, elsewhere));
    EXPECT_EQ(target, tmp.File("mine.txc"));
    EXPECT_EQ(ReadFile(path), saved);

    // A save after its own load or save asks nothing: the file is its own.
    LoadFromFile(mine, path, false, quiet);
    mine.Modified = true;
    EXPECT_FALSE(ChangedOnDisk(mine, path));
    TQueuedAnswers none({TAnswer::Ok});
    target = path;
    EXPECT_TRUE(SaveOfferingSaveAs(mine, target, quiet, none));
    EXPECT_TRUE(none.Asked.empty());
    // Another existing file is still asked about.
    std::string other = tmp.File("other.txc");
    ASSERT_TRUE(WriteFile(other, ReadFile(path)));
    TQueuedAnswers replace({TAnswer::Cancel});
    EXPECT_FALSE(SaveOfferingSaveAs(mine, other, quiet, replace));
    EXPECT_EQ(replace.Asked, std::vector<std::string>{"confReplace"});
}

} // namespace
