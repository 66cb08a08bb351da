#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file opened read-only for positioned reads; 64-bit sizes and offsets.
// Closed when the object goes away.
class TBinaryFile {
public:
    TBinaryFile() = default;
    explicit TBinaryFile(const std::string& path) { Open(path); }
    ~TBinaryFile();
    TBinaryFile(const TBinaryFile&) = delete;
    TBinaryFile& operator=(const TBinaryFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    // -1 when not open; stays owned by this object.
    int Descriptor() const { return fd_; }
    int64_t Size() const { return size_; }

    // Reads up to n bytes at pos; the count read (0 at or past the end), or -1
    // on an error or a negative position.
    int64_t ReadAt(int64_t pos, void* buf, size_t n);
    // True only when all n bytes were read.
    bool ReadExact(int64_t pos, void* buf, size_t n) {
        return ReadAt(pos, buf, n) == static_cast<int64_t>(n);
    }
    // Reads up to n bytes; the part not read is zero.
    int64_t ReadZeroFilled(int64_t pos, void* buf, size_t n);
    // True when the file has a size but no data anywhere (a sparse file
    // never written): every byte is zero, known without reading one.
    bool OnlyHoles() const;
    // Where the file's data ends when all that follows is a hole (a sparse
    // tail reads as zeros); the size when data lies anywhere past the first
    // hole or the file system cannot tell.
    int64_t DataEnd() const;

    // Reads of at most this many bytes come from a window of kWindow bytes
    // read at once: readers ask for tag headers a few bytes at a time.
    static constexpr size_t kSmallRead = 4096;
    static constexpr size_t kWindow = 16384;

private:
    int64_t ReadDirect(int64_t pos, void* buf, size_t n) const;

    int fd_ = -1;
    int64_t size_ = 0;
    std::unique_ptr<unsigned char[]> window_;
    bool haveWindow_ = false;
    int64_t windowAt_ = 0;
    size_t windowLength_ = 0; // short of kWindow: the file ended there
};

// Little- and big-endian numbers from bytes.
inline uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t Le64(const unsigned char* p) {
    return static_cast<uint64_t>(Le32(p)) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}
inline uint16_t Be16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t Be32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}
