#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// A peer catalog file as a stream of bytes, unpacked when it is gzip data.
// Unpacking stops with an error past max(floor, ratio x file size), so a
// gzip bomb costs neither memory nor much time.
class TPeerInput {
public:
    TPeerInput(const std::string& path, uint64_t inflateFloor, uint64_t inflateRatio);
    ~TPeerInput();
    TPeerInput(const TPeerInput&) = delete;
    TPeerInput& operator=(const TPeerInput&) = delete;

    // The first bytes (up to n) without consuming them.
    std::string_view Peek(size_t n);
    // Up to n bytes; 0 at the end. Throws EMessageError on damage.
    size_t Read(char* buffer, size_t n);

    bool Gzipped() const { return gzip_; }
    uint64_t FileSize() const { return fileSize_; }
    uint64_t FileOffset() const { return fileOffset_; } // file bytes consumed
    const std::string& Path() const { return path_; }

private:
    size_t ReadRaw(char* buffer, size_t n);
    size_t ReadFresh(char* buffer, size_t n);
    size_t Inflate(char* buffer, size_t n);
    [[noreturn]] void Damaged(const std::string& why) const;

    std::string path_;
    FILE* file_ = nullptr;
    uint64_t fileSize_ = 0, fileOffset_ = 0;
    bool gzip_ = false;
    bool streamEnded_ = false; // between gzip members, or after the last
    bool fileEnded_ = false;
    uint64_t unpacked_ = 0, unpackLimit_ = 0;
    std::string raw_; // packed bytes read ahead
    size_t rawPos_ = 0;
    std::string peeked_; // bytes handed out by Peek, served again by Read
    size_t peekPos_ = 0;
    struct TInflate;
    std::unique_ptr<TInflate> z_;
};
