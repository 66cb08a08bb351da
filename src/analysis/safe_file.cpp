#include "analysis/safe_file.h"

#include "settings/message_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr int kMaxLinkHops = 40;
constexpr const char* kTempSuffix = ".tamblix-tmp";

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void FailWith(const std::string& path, int e) {
    throw EMessageError("errWrite", path + ": " + std::strerror(e));
}

std::string ReadLink(const std::string& path) {
    std::string buf(256, '\0');
    while (true) {
        ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0) FailWith(path, errno);
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

bool MayWrite(const std::string& path, int& error) {
    if (::faccessat(AT_FDCWD, path.empty() ? "." : path.c_str(), W_OK, AT_EACCESS) == 0)
        return true;
    error = errno;
    return false;
}

} // namespace

std::string ResolveWriteTarget(const std::string& path) {
    std::string p = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        if (hops >= kMaxLinkHops) FailWith(path, ELOOP);
        std::string link = ReadLink(p);
        if (link.empty()) FailWith(path, ENOENT);
        p = link[0] == '/' ? link : FolderOf(p) + link;
    }
}

std::string SafeWriteTempPath(const std::string& target) {
    std::string base = BaseOf(target);
    // Keep the hidden name within the usual 255-byte limit, never splitting a character.
    const size_t room = 255 - 1 - std::strlen(kTempSuffix);
    if (base.size() > room) {
        size_t n = room;
        while (n > 0 && (static_cast<unsigned char>(base[n]) & 0xC0) == 0x80)
            --n;
        base.resize(n);
    }
    return FolderOf(target) + "." + base + kTempSuffix;
}

TSafeFileWriter::TSafeFileWriter(std::string path) : path_(std::move(path)) {
    target_ = ResolveWriteTarget(path_);
    if (BaseOf(target_).empty()) throw EMessageError("errNotRegular", path_);
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) throw EMessageError("errNotRegular", path_);
    // Without a writable folder there is no safe way to save: writing in
    // place would destroy the old file on a failure.
    const std::string folder = FolderOf(target_);
    int e = 0;
    if (!MayWrite(folder, e) && (e == EACCES || e == EROFS || e == EPERM))
        throw EMessageError("errReadOnlyFolder", folder.empty() ? std::string(".") : folder);
    // A file the user may not write is not replaced behind its back.
    if (exists && !MayWrite(target_, e)) FailWith(path_, e);

    tmp_ = SafeWriteTempPath(target_);
    OpenTemp();
    if (exists) {
        // Owner and group where permitted (a user may still set a group of
        // their own), then the mode, which a change of owner may have cleared.
        if (::fchown(fd_, old.st_uid, old.st_gid) != 0 &&
            ::fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not permitted: the new file is the user's own.
        }
        ::fchmod(fd_, old.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    buf_.reserve(kBufferSize);
}

void TSafeFileWriter::OpenTemp() {
    for (int attempt = 0; attempt < 5; ++attempt) {
        // Anything but a regular file at our own hidden name is debris: remove it.
        struct stat st {};
        if (::lstat(tmp_.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            ::unlink(tmp_.c_str());
        fd_ = ::open(tmp_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            int e = errno;
            if (e == EACCES || e == EROFS)
                throw EMessageError("errReadOnlyFolder", FolderOf(target_));
            tmp_.clear();
            FailWith(path_, e);
        }
        // The lock keeps two saves of one file apart; the one that cannot
        // take it refuses rather than share the temporary file.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            fd_ = -1;
            tmp_.clear();
            FailWith(path_, EBUSY);
        }
        // A save that finished between our open and our lock renamed this
        // file over its target: it is no longer ours to truncate.
        struct stat mine {
        }, named{};
        if (::fstat(fd_, &mine) == 0 && ::lstat(tmp_.c_str(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino && S_ISREG(mine.st_mode)) {
            if (::ftruncate(fd_, 0) == 0) return;
            int e = errno;
            ::close(fd_);
            fd_ = -1;
            tmp_.clear();
            FailWith(path_, e);
        }
        ::close(fd_);
        fd_ = -1;
    }
    tmp_.clear();
    FailWith(path_, EBUSY);
}

TSafeFileWriter::~TSafeFileWriter() {
    if (!committed_ && !tmp_.empty() && fd_ >= 0) ::unlink(tmp_.c_str());
    if (fd_ >= 0) ::close(fd_);
}

void TSafeFileWriter::Fail(const std::string& what) {
    int e = errno;
    throw EMessageError("errWrite", path_ + ": " + what + ": " + std::strerror(e));
}

void TSafeFileWriter::FlushBuffer() {
    WriteAll(buf_.data(), buf_.size());
    buf_.clear();
}

void TSafeFileWriter::WriteAll(const char* p, size_t left) {
    while (left > 0) {
        ssize_t w = ::write(fd_, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            Fail("write");
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
}

void TSafeFileWriter::Write(const void* data, size_t n) {
    if (buf_.size() + n > kBufferSize) FlushBuffer();
    // A block as large as the buffer goes straight to the file, uncopied.
    if (n >= kBufferSize) {
        WriteAll(static_cast<const char*>(data), n);
        return;
    }
    buf_.append(static_cast<const char*>(data), n);
}

void TSafeFileWriter::Commit() {
    FlushBuffer();
    if (::fsync(fd_) != 0) Fail("sync");
    // Renamed while the lock is held, so no other save can take this file.
    if (::rename(tmp_.c_str(), target_.c_str()) != 0) Fail("rename");
    committed_ = true;
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) Fail("close");
    // The rename itself lives in the folder: sync it too.
    const std::string folder = FolderOf(target_);
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        int synced = ::fsync(dir);
        int err = errno;
        ::close(dir);
        // Some file systems cannot sync a folder; only a real I/O error counts.
        if (synced != 0 && err == EIO) {
            errno = err;
            Fail("sync");
        }
    }
}

void WriteFileAtomically(const std::string& path, std::string_view data) {
    TSafeFileWriter w(path);
    w.Write(data);
    w.Commit();
}
