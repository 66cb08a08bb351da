#pragma once

#include "catalog/file_identity.h"
#include "files/safe_file.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// Little-endian primitives of the catalog file, read through a large buffer.
// Every read checks the bounds: a damaged file raises "errDamaged" with the
// file's name and the byte offset, never a read past the data.
class TLibFileReader {
public:
    explicit TLibFileReader(const std::string& path); // throws as OpenInputFile does
    ~TLibFileReader();
    TLibFileReader(const TLibFileReader&) = delete;
    TLibFileReader& operator=(const TLibFileReader&) = delete;

    int32_t ReadInt32() { return Take<int32_t>(); }
    int64_t ReadInt64() { return Take<int64_t>(); }
    double ReadDouble() { return Take<double>(); }
    uint8_t ReadByte() { return Take<uint8_t>(); }
    // The String's text (cut at its first zero byte), valid until the next read.
    // Text that is not UTF-8 is taken as Windows-1252.
    std::string_view ReadString();
    std::string ReadStringCopy() { return std::string(ReadString()); }

    int64_t Position() const { return consumed_ + static_cast<int64_t>(pos_); }
    int64_t FileSize() const { return size_; }
    int64_t Remaining() const { return size_ - Position(); }
    const std::string& Path() const { return path_; }
    // The file as it was opened: a later save by another program shows as a change.
    const TFileIdentity& Identity() const { return identity_; }
    [[noreturn]] void Damaged(const std::string& what) const { DamagedAt(Position(), what); }
    [[noreturn]] void DamagedAt(int64_t offset, const std::string& what) const;

    // Record counters for progress display.
    int64_t VolumeRecords = 0, FolderRecords = 0, EntryRecords = 0, CollectionRecords = 0,
            EntryBytes = 0;

private:
    template <typename T> T Take() {
        Need(sizeof(T));
        T v;
        std::memcpy(&v, buf_.get() + pos_, sizeof v);
        pos_ += sizeof v;
        return v;
    }
    // Makes n bytes available or fails as damaged.
    void Need(size_t n) {
        if (len_ - pos_ < n) Refill(n);
    }
    void Refill(size_t n);
    std::string path_;
    TFileIdentity identity_;
    int fd_ = -1;
    int64_t size_ = 0;
    int64_t consumed_ = 0; // bytes before buf_[0]
    std::unique_ptr<char[]> buf_;
    size_t cap_ = 0, len_ = 0, pos_ = 0;
    std::string text_;
};

inline constexpr int32_t kMaxStringLength = 65536;

// Cuts text to at most `max` bytes without splitting a UTF-8 sequence.
std::string_view CutAtCharBoundary(std::string_view s, size_t max);

// The writing side, into a large buffer of its own: a record is a dozen
// small fields, and each is one copy. Strings longer than the format allows
// are cut at a character boundary.
class TLibFileWriter {
public:
    explicit TLibFileWriter(const std::string& path);
    void WriteInt32(int32_t v) { Put(&v, sizeof v); }
    void WriteInt64(int64_t v) { Put(&v, sizeof v); }
    void WriteDouble(double v) { Put(&v, sizeof v); }
    void WriteByte(uint8_t v) { Put(&v, 1); }
    void WriteString(std::string_view s) {
        if (s.size() > static_cast<size_t>(kMaxStringLength)) {
            cut_ = true;
            s = CutAtCharBoundary(s, kMaxStringLength);
        }
        const auto n = static_cast<int32_t>(s.size());
        Room(sizeof n + s.size());
        std::memcpy(at_, &n, sizeof n);
        if (n > 0) std::memcpy(at_ + sizeof n, s.data(), s.size()); // data() may be null
        at_ += sizeof n + s.size();
    }
    void Commit() {
        Flush();
        out_.Commit();
    }
    // True once after a String was cut, so that the caller can name the record.
    bool TakeCut() { return std::exchange(cut_, false); }

    int64_t VolumeRecords = 0, FolderRecords = 0, EntryRecords = 0, CollectionRecords = 0,
            EntryBytes = 0;

private:
    void Put(const void* p, size_t n) {
        Room(n);
        std::memcpy(at_, p, n);
        at_ += n;
    }
    // Makes room for n bytes (at most the buffer's size).
    void Room(size_t n) {
        if (static_cast<size_t>(end_ - at_) < n) Flush();
    }
    void Flush();

    TSafeFileWriter out_;
    std::unique_ptr<char[]> buf_;
    char* at_ = nullptr;
    char* end_ = nullptr;
    bool cut_ = false;
};
