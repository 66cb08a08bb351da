#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Writes to a new file beside the target and renames it over the target only
// when Commit succeeds, so a stop, a full disk or a crash leaves the old file.
// Output is buffered; every failure throws EMessageError("errWrite", reason).
class TSafeFileWriter {
public:
    explicit TSafeFileWriter(std::string path);
    ~TSafeFileWriter(); // removes the new file unless committed
    TSafeFileWriter(const TSafeFileWriter&) = delete;
    TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

    void Write(const void* data, size_t n);
    void Write(std::string_view s) { Write(s.data(), s.size()); }
    // Flushes, syncs and renames over the target.
    void Commit();
    const std::string& Path() const { return path_; }

private:
    void FlushBuffer();
    [[noreturn]] void Fail(const std::string& what);

    std::string path_;
    std::string tmp_;
    int fd_ = -1;
    bool committed_ = false;
    std::string buf_;
};

// The whole file at once, through TSafeFileWriter.
void WriteFileAtomically(const std::string& path, std::string_view data);
