#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The tag key of a file's content hash, and the handler that writes it.
inline constexpr const char* kChecksumKey = "XXH128";
inline constexpr const char* kChecksumTitle = "Checksum";
// The extension entry that makes the checksum handler claim every file.
inline constexpr const char* kEveryFileExtension = ".*";

// A 128-bit content hash as two halves (high first, as the text shows it).
struct TContentHash {
    uint64_t High = 0;
    uint64_t Low = 0;
    bool operator==(const TContentHash&) const = default;
};

// 32 lower-case hex digits, the canonical byte order of the hash.
std::string ChecksumText(const TContentHash& h);
// Parses ChecksumText's form (either case); false for anything else.
bool ParseChecksum(std::string_view text, TContentHash& out);

// Hashes whole files (XXH3-128) in large sequential blocks. One object serves
// a whole scan: its buffer and state are reused from file to file.
class TFileChecksum {
public:
    static constexpr size_t kBlockSize = size_t{1} << 20;

    TFileChecksum();
    ~TFileChecksum();
    TFileChecksum(TFileChecksum&&) noexcept;
    TFileChecksum& operator=(TFileChecksum&&) noexcept;

    // After each block with the bytes read so far; returning true stops the
    // file's read (the stop button).
    std::function<bool(int64_t bytesRead)> OnBlock;

    // The hash text of a regular file's contents, or empty when it is not a
    // regular file, cannot be read whole, changed size while read, or the
    // read was stopped (then Stopped() is true). Links are not followed.
    std::string HashFile(const std::string& path);
    bool Stopped() const { return stopped_; }

    // The hash of bytes in memory, for callers that have them already.
    static TContentHash HashBytes(const void* data, size_t size);

private:
    struct TState;
    std::unique_ptr<TState> state_;
    std::vector<unsigned char> buffer_;
    bool stopped_ = false;
};
