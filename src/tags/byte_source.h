#pragma once

#include "tags/binary_file.h"

#include <cstddef>
#include <cstdint>

// Bytes read in order from somewhere: the packets of an Ogg stream, or a run
// of a file. Both calls fail when the source ends first.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual bool Read(void* out, size_t n) = 0;
    virtual bool Skip(uint64_t n) = 0;
};

// The bytes of a file from pos up to end.
class TFileRange final : public IByteSource {
public:
    TFileRange(TBinaryFile& f, int64_t pos, int64_t end) : f_(f), pos_(pos), end_(end) {}
    bool Read(void* out, size_t n) override {
        if (static_cast<uint64_t>(end_ - pos_) < n || !f_.ReadExact(pos_, out, n)) return false;
        pos_ += static_cast<int64_t>(n);
        return true;
    }
    bool Skip(uint64_t n) override {
        if (static_cast<uint64_t>(end_ - pos_) < n) return false;
        pos_ += static_cast<int64_t>(n);
        return true;
    }
    int64_t Pos() const { return pos_; }

private:
    TBinaryFile& f_;
    int64_t pos_, end_;
};
