#include "catalog/catalog_lock.h"

#include "files/safe_file.h"
#include "text/message_error.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

int OpenForLock(const std::string& path, int flags) {
    // Never blocks: a FIFO at the path would otherwise wait for a writer.
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes the lock on fd, trying until the time is up. A file system without
// locks is written as before there were any: refusing would stop every save.
bool LockWithin(int fd, int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (true) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string ProgramName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Who holds a lock on the file open at fd, from the system's lock table.
std::string HolderOf(const struct stat& st) {
    std::ostringstream id;
    id << std::hex << std::setfill('0') << std::setw(2) << major(st.st_dev) << ':' << std::setw(2)
       << minor(st.st_dev) << ':' << std::dec << st.st_ino;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; "->" marks a waiter.
        std::istringstream in(line);
        std::string number, kind, mode, access, device;
        long pid = 0;
        if (!(in >> number >> kind) || kind != "FLOCK") continue;
        if (!(in >> mode >> access >> pid >> device) || device != id.str()) continue;
        if (pid <= 0) continue;
        std::string name = ProgramName(pid);
        return (name.empty() ? std::string("a program") : name) + ", process " +
               std::to_string(pid);
    }
    return {};
}

// The lock on fd, waited for; when the time is up, who holds it is told. A
// holder that let go meanwhile (and so is no longer listed) is not waited for;
// one that handed the lock straight to a third program is looked up again, so
// the message names whoever holds it now.
void LockOrThrow(int fd, int waitMs, const std::string& path) {
    if (LockWithin(fd, waitMs)) return;
    struct stat st {};
    std::string holder;
    const bool known = ::fstat(fd, &st) == 0;
    for (int look = 0; look < 50 && holder.empty(); ++look) {
        if (known) holder = HolderOf(st);
        if (holder.empty() && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return;
        if (holder.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::close(fd);
    throw EMessageError("errCatalogLocked",
                        path + " (" + (holder.empty() ? "another program" : holder) + ")");
}

} // namespace

TCatalogLock::~TCatalogLock() {
    Release();
}

TCatalogLock::TCatalogLock(TCatalogLock&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

TCatalogLock& TCatalogLock::operator=(TCatalogLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void TCatalogLock::Release() {
    if (fd_ >= 0) ::close(fd_); // closing the last descriptor drops the lock
    fd_ = -1;
}

TCatalogLock TCatalogLock::Acquire(const std::string& path, int waitMs) {
    const std::string target = ResolveWriteTarget(path);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto left = [&] {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(0, ms.count()));
    };
    while (true) {
        int fd = OpenForLock(target, 0);
        if (fd < 0 && errno == ENOENT) {
            // A new catalog: its folder is held until the first save makes it.
            const std::string folder = SafeWriteFolder(target);
            int dir = OpenForLock(folder, O_DIRECTORY);
            if (dir < 0) return TCatalogLock();
            LockOrThrow(dir, left(), path);
            struct stat st {};
            if (::stat(target.c_str(), &st) != 0 && errno == ENOENT) return TCatalogLock(dir);
            ::close(dir); // made meanwhile: lock the file itself
            continue;
        }
        if (fd < 0) return TCatalogLock();
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return TCatalogLock();
        }
        LockOrThrow(fd, left(), path);
        // The writer before us may have replaced the file while we waited.
        struct stat now {};
        if (::stat(target.c_str(), &now) == 0 && SameFile(now, held)) return TCatalogLock(fd);
        ::close(fd);
        if (::stat(target.c_str(), &now) != 0 && errno != ENOENT) return TCatalogLock();
    }
}

std::string TCatalogLock::Holder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? HolderOf(st) : std::string();
}
