#pragma once

#include <cstdint>
#include <string>

struct stat;

// What tells one state of a file from another without reading it: which file
// it is and when and how it was last written. A program that keeps a catalog
// open compares it before saving, to notice another program's save.
struct TFileIdentity {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = -1;
    int64_t ModifiedSeconds = 0;
    int64_t ModifiedNanoseconds = 0;

    bool Known() const { return Size >= 0; }
    bool operator==(const TFileIdentity&) const = default;

    static TFileIdentity Of(const struct stat& st);
    // The file at `path`, links followed; unknown when it cannot be read.
    static TFileIdentity OfPath(const std::string& path);
};
