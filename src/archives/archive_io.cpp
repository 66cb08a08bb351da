#include "archives/archive_io.h"

#include "files/path_in_folder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace archiveio {

namespace {

// The folder holding `path` and the name left to open in it. A path long
// for the system calls is opened one component at a time. `owned` is set
// when the folder was opened here and must be closed.
int OpenParent(const std::string& path, std::string& name, bool& owned) {
    owned = false;
    if (const TFolderRelative at = RelativeToFolder(path.c_str()); at.folderFd != AT_FDCWD) {
        name = at.name;
        return at.folderFd;
    }
    if (path.size() < PATH_MAX) {
        name = path;
        return AT_FDCWD;
    }
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) {
        name = path;
        return AT_FDCWD;
    }
    name = path.substr(cut + 1);
    int fd = path[0] == '/' ? open("/", O_PATH | O_DIRECTORY | O_CLOEXEC) : AT_FDCWD;
    if (path[0] == '/' && fd < 0) return -1;
    size_t at = 0;
    while (at < cut) {
        size_t next = path.find('/', at);
        if (next == std::string::npos || next > cut) next = cut;
        std::string part = path.substr(at, next - at);
        at = next + 1;
        if (part.empty() || part == ".") continue;
        int sub = openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        int err = errno;
        if (fd != AT_FDCWD) close(fd);
        if (sub < 0) {
            errno = err;
            return -1;
        }
        fd = sub;
    }
    owned = fd != AT_FDCWD;
    return fd;
}

} // namespace

uint32_t Crc32(const void* data, size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    auto* p = static_cast<const uint8_t*>(data);
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

int OpenForReading(const std::string& path) {
    std::string name;
    bool owned;
    int dir = OpenParent(path, name, owned);
    if (dir == -1) return -1;
    int fd = openat(dir, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    int err = errno;
    if (owned) close(dir);
    errno = err;
    return fd;
}

bool StatNoFollow(const std::string& path, struct stat& st) {
    std::string name;
    bool owned;
    int dir = OpenParent(path, name, owned);
    if (dir == -1) return false;
    bool ok = fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (owned) close(dir);
    return ok;
}

bool IsPlainFile(const std::string& path) {
    struct stat st;
    return StatNoFollow(path, st) && S_ISREG(st.st_mode);
}

TFileHandle::~TFileHandle() {
    if (fd_ >= 0) close(fd_);
}

size_t TPositionalReader::Read(void* dst, size_t n) {
    auto* out = static_cast<uint8_t*>(dst);
    size_t done = 0;
    while (done < n) {
        if (pos_ >= bufStart_ && pos_ < bufStart_ + bufLen_) {
            size_t off = static_cast<size_t>(pos_ - bufStart_);
            size_t take = std::min(n - done, bufLen_ - off);
            std::memcpy(out + done, buf_.data() + off, take);
            done += take;
            pos_ += take;
            continue;
        }
        if (pos_ >= size_ || !Fill()) break;
    }
    return done;
}

bool TPositionalReader::ReadString(std::string& s, size_t n) {
    s.resize(n);
    size_t got = Read(s.data(), n);
    s.resize(got);
    return got == n;
}

bool TPositionalReader::Fill() {
    ssize_t r;
    do {
        r = pread(fd_, buf_.data(), buf_.size(), static_cast<off_t>(pos_));
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return false;
    bufStart_ = pos_;
    bufLen_ = static_cast<size_t>(r);
    return true;
}

} // namespace archiveio
