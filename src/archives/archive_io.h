#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// File access shared by the archive readers.
namespace archiveio {

// Little-endian fields of archive headers.
inline uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t U32(const uint8_t* p) {
    return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}
inline uint64_t U64(const uint8_t* p) {
    return U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32);
}

// The CRC-32 of ZIP and RAR (reflected polynomial 0xEDB88320).
uint32_t Crc32(const void* data, size_t size);

// Opens a file for reading without blocking (a FIFO never hangs a scan) and
// without a limit on the path's length: a path longer than the system allows
// is opened folder by folder. Returns the descriptor, or -1 with errno set.
int OpenForReading(const std::string& path);
// lstat() for any length of path: true when it worked.
bool StatNoFollow(const std::string& path, struct stat& st);
// A regular file, not reached through a symbolic link: what a scan may read
// as an archive (never a FIFO, socket, device or folder).
bool IsPlainFile(const std::string& path);

// Closes the descriptor it holds on every way out.
class TFileHandle {
public:
    explicit TFileHandle(int fd = -1) : fd_(fd) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle();
    int Get() const { return fd_; }

private:
    int fd_;
};

// Buffered positional reads; short reads at the end of the file are normal.
class TPositionalReader {
public:
    TPositionalReader(int fd, uint64_t size) : fd_(fd), size_(size), buf_(65536) {}
    uint64_t Size() const { return size_; }
    uint64_t Pos() const { return pos_; }
    void Seek(uint64_t pos) { pos_ = pos; }
    // Reads up to n bytes at the position and moves past them; the count read.
    size_t Read(void* dst, size_t n);
    bool ReadExact(void* dst, size_t n) { return Read(dst, n) == n; }
    bool ReadString(std::string& s, size_t n);

private:
    bool Fill();

    int fd_;
    uint64_t size_;
    uint64_t pos_ = 0;
    std::vector<uint8_t> buf_;
    uint64_t bufStart_ = 0;
    size_t bufLen_ = 0;
};

} // namespace archiveio
