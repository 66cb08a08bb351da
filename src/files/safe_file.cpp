#include "files/safe_file.h"

#include "text/message_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

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

std::string SafeWriteFolder(const std::string& target) {
    std::string folder = FolderOf(target);
    return folder.empty() ? std::string(".") : folder;
}

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

namespace {

// A hidden name beside the target, one per target and user: in a folder that
// many users share, another user's leftover file never stands in the way.
std::string HiddenName(const std::string& target, const std::string& tail) {
    std::string base = BaseOf(target);
    // Keep the hidden name within the usual 255-byte limit, never splitting a character.
    const size_t room = 255 - 1 - tail.size();
    if (base.size() > room) {
        size_t n = room;
        while (n > 0 && (static_cast<unsigned char>(base[n]) & 0xC0) == 0x80)
            --n;
        base.resize(n);
    }
    return FolderOf(target) + "." + base + tail;
}

std::string UserTag() {
    return "." + std::to_string(::geteuid());
}

// Copies the extended attributes of `from` (user attributes, access control
// lists) to the new file. Those the file system keeps for itself or that
// need privileges the user lacks are left to it; losing a user attribute or
// an access list would go unnoticed, so that refuses the save.
void CopyAttributes(const std::string& from, int fd, const std::string& shown) {
    std::vector<char> names(1024);
    ssize_t n;
    while ((n = ::listxattr(from.c_str(), names.data(), names.size())) < 0 && errno == ERANGE)
        names.resize(names.size() * 4);
    if (n <= 0) return; // none, or a file system without them
    std::vector<char> value(256);
    for (size_t i = 0; i < static_cast<size_t>(n);) {
        const std::string name(names.data() + i);
        i += name.size() + 1;
        ssize_t len;
        while ((len = ::getxattr(from.c_str(), name.c_str(), value.data(), value.size())) < 0 &&
               errno == ERANGE)
            value.resize(value.size() * 4);
        if (len < 0) continue; // gone meanwhile, or not ours to read
        if (::fsetxattr(fd, name.c_str(), value.data(), static_cast<size_t>(len), 0) == 0) continue;
        const int e = errno;
        if (name.rfind("user.", 0) == 0 || name.rfind("system.posix_acl_", 0) == 0)
            throw EMessageError("errWrite", shown + ": the attribute " + name +
                                                " cannot be kept: " + std::strerror(e));
    }
}

// Copies everything from `in` (from its start) to `out` at its start.
bool CopyContents(int in, int out, off_t& size) {
    std::vector<char> buf(1 << 20);
    size = 0;
    while (true) {
        ssize_t r = ::pread(in, buf.data(), buf.size(), size);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) return true;
        for (ssize_t done = 0; done < r;) {
            ssize_t w =
                ::pwrite(out, buf.data() + done, static_cast<size_t>(r - done), size + done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            done += w;
        }
        size += r;
    }
}

} // namespace

std::string SafeWriteTempPath(const std::string& target) {
    return HiddenName(target, UserTag() + kTempSuffix);
}

std::string SafeWriteBackupPath(const std::string& target) {
    return HiddenName(target, UserTag() + ".tamblix-bak");
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
        throw EMessageError("errReadOnlyFolder", SafeWriteFolder(target_));
    // A file the user may not write is not replaced behind its back.
    if (exists && !MayWrite(target_, e)) FailWith(path_, e);

    tmp_ = SafeWriteTempPath(target_);
    OpenTemp();
    if (exists) {
        // Owner and group where permitted (a user may still set a group of
        // their own), then the mode, which a change of owner may have cleared,
        // then the extended attributes (an access list after the mode, which
        // would change its mask).
        if (::fchown(fd_, old.st_uid, old.st_gid) != 0 &&
            ::fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not permitted: the new file is the user's own.
        }
        ::fchmod(fd_, old.st_mode & 07777);
        CopyAttributes(target_, fd_, path_);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    buf_.reserve(kBufferSize);
}

void TSafeFileWriter::OpenTemp() {
    const std::string folder = FolderOf(target_);
    bool unique = false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (unique) {
            // Our usual name is taken by someone else: a name no one has.
            std::string name = HiddenName(target_, UserTag() + ".XXXXXX" + kTempSuffix);
            fd_ = ::mkostemps(name.data(), static_cast<int>(std::strlen(kTempSuffix)), O_CLOEXEC);
            if (fd_ >= 0) tmp_ = name;
        } else {
            // Anything but a regular file at our own hidden name is debris: remove it.
            struct stat st {};
            if (::lstat(tmp_.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
                ::unlink(tmp_.c_str());
            fd_ = ::open(tmp_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        }
        if (fd_ < 0) {
            int e = errno;
            int denied = 0;
            // Read-only only when the folder really is: a file in our way
            // in a folder we may write to is another matter.
            if (e == EROFS || ((e == EACCES || e == EPERM) && !MayWrite(folder, denied)))
                throw EMessageError("errReadOnlyFolder",
                                    folder.empty() ? std::string(".") : folder);
            if (!unique && (e == EACCES || e == EPERM || e == EEXIST || e == EISDIR)) {
                unique = true;
                continue;
            }
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
        // file over its target: it is no longer ours to truncate. A file of
        // another user at our name is not ours either.
        struct stat mine {
        }, named{};
        if (::fstat(fd_, &mine) == 0 && ::lstat(tmp_.c_str(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino && S_ISREG(mine.st_mode)) {
            if (mine.st_uid != ::geteuid() && !unique) {
                ::close(fd_);
                fd_ = -1;
                unique = true;
                continue;
            }
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
    struct stat now {};
    if (::stat(target_.c_str(), &now) == 0 && S_ISREG(now.st_mode) && now.st_nlink > 1) {
        CommitInPlace();
    } else {
        // Renamed while the lock is held, so no other save can take this file.
        if (::rename(tmp_.c_str(), target_.c_str()) != 0) Fail("rename");
        committed_ = true;
    }
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) Fail("close");
    SyncFolder();
}

// A file with other hard links: a rename would leave them the old contents.
// The new contents, complete in the temporary file, are copied over the old
// ones after a complete backup copy, which a failure leaves in place.
void TSafeFileWriter::CommitInPlace() {
    const std::string backup = SafeWriteBackupPath(target_);
    auto failWith = [&](const std::string& what, int e, bool keepBackup) {
        if (!keepBackup) ::unlink(backup.c_str());
        throw EMessageError("errWrite", path_ + ": " + what + ": " + std::strerror(e) +
                                            (keepBackup ? "; the old contents are kept in " + backup
                                                        : std::string()));
    };
    int in = ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) failWith("backup", errno, false);
    ::unlink(backup.c_str()); // never through a link someone left at that name
    int bk = ::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    off_t size = 0;
    if (bk < 0 || !CopyContents(in, bk, size) || ::fsync(bk) != 0) {
        int e = errno;
        ::close(in);
        if (bk >= 0) ::close(bk);
        failWith("backup", e, false);
    }
    ::close(in);
    ::close(bk);
    int out = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (out < 0) failWith("write in place", errno, false);
    if (!CopyContents(fd_, out, size) || ::ftruncate(out, size) != 0 || ::fsync(out) != 0) {
        int e = errno;
        ::close(out);
        failWith("write in place", e, true);
    }
    ::close(out);
    committed_ = true;
    ::unlink(backup.c_str());
    ::unlink(tmp_.c_str());
}

void TSafeFileWriter::SyncFolder() {
    // The rename itself lives in the folder: sync it too.
    const std::string folder = SafeWriteFolder(target_);
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
