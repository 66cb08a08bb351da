#include "tags/binary_file.h"

#include "analysis/path_in_folder.h"

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
