#include "tags/binary_file.h"

#include "files/path_in_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

TBinaryFile::~TBinaryFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool TBinaryFile::Open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    haveWindow_ = false;
    int fd;
    const TFolderRelative at = RelativeToFolder(path.c_str());
    // A FIFO put in the file's place since it was checked must not hold the open.
    do {
        fd = ::openat(at.folderFd, at.name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<int64_t>(st.st_size);
    return true;
}

int64_t TBinaryFile::ReadAt(int64_t pos, void* buf, size_t n) {
    if (fd_ < 0 || pos < 0) return -1;
    if (n == 0 || n > kSmallRead) return ReadDirect(pos, buf, n);
    // Not zeroed: only bytes the file gave are ever copied out.
    if (!window_) window_ = std::make_unique_for_overwrite<unsigned char[]>(kWindow);
    const int64_t windowEnd = windowAt_ + static_cast<int64_t>(windowLength_);
    // A window shorter than kWindow ends where the file does: it answers
    // every read from its start on.
    const bool inside = haveWindow_ && pos >= windowAt_ &&
                        (pos + static_cast<int64_t>(n) <= windowEnd || windowLength_ < kWindow);
    if (!inside) {
        haveWindow_ = false;
        const int64_t got = ReadDirect(pos, window_.get(), kWindow);
        if (got < 0) return -1;
        haveWindow_ = true;
        windowAt_ = pos;
        windowLength_ = static_cast<size_t>(got);
    }
    const int64_t from = pos - windowAt_;
    if (from >= static_cast<int64_t>(windowLength_)) return 0;
    const size_t count = std::min(n, windowLength_ - static_cast<size_t>(from));
    std::memcpy(buf, window_.get() + from, count);
    return static_cast<int64_t>(count);
}

int64_t TBinaryFile::ReadDirect(int64_t pos, void* buf, size_t n) const {
    auto* p = static_cast<char*>(buf);
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(pos + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

int64_t TBinaryFile::ReadZeroFilled(int64_t pos, void* buf, size_t n) {
    int64_t r = ReadAt(pos, buf, n);
    size_t got = r > 0 ? static_cast<size_t>(r) : 0;
    if (got < n) std::memset(static_cast<char*>(buf) + got, 0, n - got);
    return r;
}

bool TBinaryFile::OnlyHoles() const {
    if (fd_ < 0 || size_ <= 0) return false;
    // Reads are positioned: moving the offset costs them nothing.
    return ::lseek(fd_, 0, SEEK_DATA) < 0 && errno == ENXIO;
}

int64_t TBinaryFile::DataEnd() const {
    if (fd_ < 0 || size_ <= 0) return size_;
    off_t hole = ::lseek(fd_, 0, SEEK_HOLE);
    if (hole < 0 || hole >= size_) return size_;
    if (::lseek(fd_, hole, SEEK_DATA) >= 0 || errno != ENXIO) return size_;
    return hole;
}
