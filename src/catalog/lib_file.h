#pragma once

#include "analysis/safe_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// Little-endian primitives of the catalog file, read through a large buffer.
// Every read checks the bounds: a damaged file raises "errDamaged" with the
// file's name and the byte offset, never a read past the data.
class TLibFileReader {
public:
    explicit TLibFileReader(const std::string& path); // throws "errFNF" when it cannot be opened
    ~TLibFileReader();
    TLibFileReader(const TLibFileReader&) = delete;
    TLibFileReader& operator=(const TLibFileReader&) = delete;

    int32_t ReadInt32();
    int64_t ReadInt64();
    double ReadDouble();
    uint8_t ReadByte();
    // The String's text (cut at its first zero byte), valid until the next read.
    // Text that is not UTF-8 is taken as Windows-1252.
    std::string_view ReadString();
    std::string ReadStringCopy() { return std::string(ReadString()); }

    int64_t Position() const { return consumed_ + static_cast<int64_t>(pos_); }
    int64_t FileSize() const { return size_; }
    int64_t Remaining() const { return size_ - Position(); }
    const std::string& Path() const { return path_; }
    [[noreturn]] void Damaged(const std::string& what) const { DamagedAt(Position(), what); }
    [[noreturn]] void DamagedAt(int64_t offset, const std::string& what) const;

    // Record counters for progress display.
    int64_t VolumeRecords = 0, FolderRecords = 0, EntryRecords = 0, CollectionRecords = 0,
            EntryBytes = 0;

private:
    void Need(size_t n); // makes n bytes available or fails as damaged
    std::string path_;
    int fd_ = -1;
    int64_t size_ = 0;
    int64_t consumed_ = 0; // bytes before buf_[0]
    std::unique_ptr<char[]> buf_;
    size_t cap_ = 0, len_ = 0, pos_ = 0;
    std::string text_;
};

// The writing side; Strings longer than the format allows are cut at a character boundary.
class TLibFileWriter {
public:
    explicit TLibFileWriter(const std::string& path) : out_(path) {}
    void WriteInt32(int32_t v) { out_.Write(&v, sizeof v); }
    void WriteInt64(int64_t v) { out_.Write(&v, sizeof v); }
    void WriteDouble(double v) { out_.Write(&v, sizeof v); }
    void WriteByte(uint8_t v) { out_.Write(&v, 1); }
    void WriteString(std::string_view s);
    void Commit() { out_.Commit(); }
    // True once after a String was cut, so that the caller can name the record.
    bool TakeCut() { return std::exchange(cut_, false); }

    int64_t VolumeRecords = 0, FolderRecords = 0, EntryRecords = 0, CollectionRecords = 0,
            EntryBytes = 0;

private:
    TSafeFileWriter out_;
    bool cut_ = false;
};

inline constexpr int32_t kMaxStringLength = 65536;

// Cuts text to at most `max` bytes without splitting a UTF-8 sequence.
std::string_view CutAtCharBoundary(std::string_view s, size_t max);
