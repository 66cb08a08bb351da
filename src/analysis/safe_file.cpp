#include "analysis/safe_file.h"

#include "settings/message_error.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kBufferSize = 1 << 20;
}

TSafeFileWriter::TSafeFileWriter(std::string path) : path_(std::move(path)) {
    tmp_ = path_ + ".tmp-XXXXXX";
    fd_ = ::mkstemp(tmp_.data());
    if (fd_ < 0) {
        int e = errno;
        tmp_.clear();
        throw EMessageError("errWrite", path_ + ": " + std::strerror(e));
    }
    // Keep the old file's permissions; a new one gets the usual 0666 & ~umask.
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        ::fchmod(fd_, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    buf_.reserve(kBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !tmp_.empty()) ::unlink(tmp_.c_str());
}

void TSafeFileWriter::Fail(const std::string& what) {
    int e = errno;
    throw EMessageError("errWrite", path_ + ": " + what + ": " + std::strerror(e));
}

void TSafeFileWriter::FlushBuffer() {
    const char* p = buf_.data();
    size_t left = buf_.size();
    while (left > 0) {
        ssize_t w = ::write(fd_, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            Fail("write");
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    buf_.clear();
}

void TSafeFileWriter::Write(const void* data, size_t n) {
    if (buf_.size() + n > kBufferSize) FlushBuffer();
    if (n > kBufferSize) {
        buf_.assign(static_cast<const char*>(data), n);
        FlushBuffer();
        return;
    }
    buf_.append(static_cast<const char*>(data), n);
}

void TSafeFileWriter::Commit() {
    FlushBuffer();
    if (::fsync(fd_) != 0) Fail("sync");
    if (::close(fd_) != 0) {
        fd_ = -1;
        Fail("close");
    }
    fd_ = -1;
    if (::rename(tmp_.c_str(), path_.c_str()) != 0) Fail("rename");
    committed_ = true;
}

void WriteFileAtomically(const std::string& path, std::string_view data) {
    TSafeFileWriter w(path);
    w.Write(data);
    w.Commit();
}
