#include "archives/archive_format.h"

#include "archives/archive_io.h"
#include "files/file_utils.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <unordered_set>
#include <utility>
#include <vector>

namespace archiveformat {

namespace {

constexpr uint64_t kDescriptors = 32768; // the system area comes first
constexpr size_t kSector = 2048;
constexpr int kMaxDescriptors = 64;
constexpr size_t kRecordMin = 34;

// Reads up to n bytes at `at`; the count read (0 on an error).
size_t ReadAt(int fd, uint64_t at, void* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t got =
            pread(fd, static_cast<char*>(dst) + done, n - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

bool IsIso(int fd) {
    char id[5];
    return ReadAt(fd, kDescriptors + 1, id, sizeof id) == sizeof id &&
           std::memcmp(id, "CD001", 5) == 0;
}

struct TDirectory {
    uint64_t Block;
    uint64_t Size;
    uint32_t BlockSize;
};

} // namespace

unsigned ReadersFor(std::string_view path, int fd) {
    unsigned readers = 0;
    uint8_t head[6] = {};
    const size_t got = ReadAt(fd, 0, head, sizeof head);
    if (got == 6 && std::memcmp(head, "7z\xBC\xAF\x27\x1C", 6) == 0) readers |= kSevenZip;
    if (got >= 4 && std::memcmp(head, "MSCF", 4) == 0) readers |= kCab;
    if (IsIso(fd)) readers |= kIso;
    // TAR by its header, or a stream of gzip, bzip2, xz, zstd, lzma or compress.
    char ustar[5];
    if ((ReadAt(fd, 257, ustar, 5) == 5 && std::memcmp(ustar, "ustar", 5) == 0) ||
        (got >= 2 &&
         (std::memcmp(head, "\x1F\x8B", 2) == 0 || std::memcmp(head, "\x1F\x9D", 2) == 0)) ||
        (got >= 3 && (std::memcmp(head, "BZh", 3) == 0 || std::memcmp(head, "\x5D\0\0", 3) == 0)) ||
        (got == 6 && std::memcmp(head,
                                 "\xFD"
                                 "7zXZ\0",
                                 6) == 0) ||
        (got >= 4 && std::memcmp(head, "\x28\xB5\x2F\xFD", 4) == 0))
        readers |= kTar;
    if (HasExtension(path, {".7Z"})) readers |= kSevenZip;
    if (HasExtension(path, {".ISO"})) readers |= kIso;
    if (HasExtension(path, {".CAB"})) readers |= kCab;
    if (HasExtension(
            path, {".TAR", ".TGZ", ".TBZ", ".TBZ2", ".TXZ", ".TZST", ".GZ", ".BZ2", ".XZ", ".ZST"}))
        readers |= kTar;
    return readers ? readers : kTar;
}

TIsoCheck CheckIsoDirectories(int fd, uint64_t fileSize) {
    if (!IsIso(fd)) return TIsoCheck::NotIso;
    std::vector<TDirectory> todo;
    for (int i = 0; i < kMaxDescriptors; ++i) {
        uint8_t d[kSector];
        if (ReadAt(fd, kDescriptors + uint64_t(i) * kSector, d, kSector) != kSector) break;
        if (std::memcmp(d + 1, "CD001", 5) != 0 || d[0] == 255) break;
        const uint32_t blockSize = archiveio::U16(d + 128);
        // Primary and supplementary (Joliet) descriptors hold a root directory.
        if ((d[0] == 1 || d[0] == 2) && blockSize != 0)
            todo.push_back({archiveio::U32(d + 156 + 2), archiveio::U32(d + 156 + 10), blockSize});
    }
    std::unordered_set<uint64_t> seen;
    uint64_t read = 0;
    std::vector<uint8_t> dir;
    while (!todo.empty()) {
        const TDirectory t = todo.back();
        todo.pop_back();
        const uint64_t start = t.Block * t.BlockSize;
        // What the library reads at once: the directory in whole blocks.
        const uint64_t span = (t.Size + t.BlockSize - 1) / t.BlockSize * t.BlockSize;
        if (span > kMaxIsoDirectory || start > fileSize || span > fileSize - start)
            return TIsoCheck::ClaimsTooMuch;
        if (!seen.insert(start).second) continue;
        // Directories never share blocks: more than the file in all is damage.
        read += span;
        if (read > fileSize) return TIsoCheck::ClaimsTooMuch;
        dir.resize(static_cast<size_t>(t.Size));
        if (ReadAt(fd, start, dir.data(), dir.size()) != dir.size())
            return TIsoCheck::ClaimsTooMuch;
        for (size_t p = 0; p < dir.size();) {
            const size_t len = dir[p];
            if (len == 0) { // the rest of this block is padding
                p = (p / t.BlockSize + 1) * t.BlockSize;
                continue;
            }
            if (len < kRecordMin || len > dir.size() - p) break; // the library says so
            const uint8_t* r = dir.data() + p;
            const bool self = r[32] == 1 && (r[33] == 0 || r[33] == 1); // "." and ".."
            if ((r[25] & 0x02) && !self)
                todo.push_back({archiveio::U32(r + 2), archiveio::U32(r + 10), t.BlockSize});
            p += len;
        }
    }
    return TIsoCheck::Sound;
}

} // namespace archiveformat
