#include "files/file_checksum.h"

#include "files/path_in_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace {

TContentHash FromXxh(XXH128_hash_t h) {
    return TContentHash{h.high64, h.low64};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Closes the descriptor however the read ends.
struct TFd {
    int fd;
    ~TFd() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

struct TFileChecksum::TState {
    XXH3_state_t* xxh = XXH3_createState();
    ~TState() { XXH3_freeState(xxh); }
};

std::string ChecksumText(const TContentHash& h) {
    static const char digits[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[static_cast<size_t>(15 - i)] = digits[(h.High >> (4 * i)) & 15];
        out[static_cast<size_t>(31 - i)] = digits[(h.Low >> (4 * i)) & 15];
    }
    return out;
}

bool ParseChecksum(std::string_view text, TContentHash& out) {
    if (text.size() != 32) return false;
    uint64_t half[2] = {0, 0};
    for (size_t i = 0; i < 32; ++i) {
        int d = HexDigit(text[i]);
        if (d < 0) return false;
        half[i / 16] = (half[i / 16] << 4) | static_cast<uint64_t>(d);
    }
    out = TContentHash{half[0], half[1]};
    return true;
}

TFileChecksum::TFileChecksum() : state_(std::make_unique<TState>()) {}

TFileChecksum::~TFileChecksum() = default;
TFileChecksum::TFileChecksum(TFileChecksum&&) noexcept = default;
TFileChecksum& TFileChecksum::operator=(TFileChecksum&&) noexcept = default;

TContentHash TFileChecksum::HashBytes(const void* data, size_t size) {
    return FromXxh(XXH3_128bits(data, size));
}

std::string TFileChecksum::HashFile(const std::string& path) {
    stopped_ = false;
    if (!state_->xxh) return {};
    // Non-blocking so that a FIFO that took a regular file's place never hangs the open.
    const TFolderRelative at = RelativeToFolder(path.c_str());
    TFd f{::openat(at.folderFd, at.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (f.fd < 0) return {};
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    ::posix_fadvise(f.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Small files need no megabyte: the buffer grows to the largest block read so far.
    const size_t want = st.st_size < static_cast<off_t>(kBlockSize)
                            ? static_cast<size_t>(st.st_size) + 1
                            : kBlockSize;
    if (buffer_.size() < want) buffer_.resize(want);
    XXH3_128bits_reset(state_->xxh);
    int64_t done = 0;
    for (;;) {
        ssize_t n = ::read(f.fd, buffer_.data(), want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return {};
        }
        if (n == 0) break;
        XXH3_128bits_update(state_->xxh, buffer_.data(), static_cast<size_t>(n));
        done += n;
        if (OnBlock && OnBlock(done)) {
            stopped_ = true;
            return {};
        }
    }
    // A file that changed size while read has no single content to name.
    if (done != static_cast<int64_t>(st.st_size)) return {};
    return ChecksumText(FromXxh(XXH3_128bits_digest(state_->xxh)));
}
