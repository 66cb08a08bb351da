#pragma once

#include "tags/byte_source.h"

#include <cstdint>

// The packets of the first logical stream of an Ogg file, read in order across
// pages; pages of other streams are passed over.
class TOggPacketReader final : public IByteSource {
public:
    explicit TOggPacketReader(TBinaryFile& f) : f_(f) {}

    // Opens the first page; false when the file does not start with one.
    bool Start() { return LoadPage(0, true); }
    // Reads n bytes of the current packet; false when the packet or file ends first.
    bool Read(void* out, size_t n) override { return Take(static_cast<char*>(out), n); }
    bool Skip(uint64_t n) override { return Take(nullptr, n); }
    // Moves to the start of the next packet.
    bool NextPacket();
    uint32_t Serial() const { return serial_; }

private:
    bool LoadPage(int64_t pos, bool first);
    bool Advance();
    bool Take(char* out, uint64_t n);

    TBinaryFile& f_;
    uint32_t serial_ = 0;
    unsigned char segs_[255] = {};
    int nsegs_ = 0;
    int seg_ = 0;
    unsigned segLeft_ = 0;
    int64_t dataPos_ = 0;
    int64_t nextPage_ = 0;
    bool atPacketEnd_ = false;
};

// Granule position of the last page of the stream `serial` that ends a
// packet; 0 when none is found near the end of the file.
int64_t OggLastGranule(TBinaryFile& f, uint32_t serial);
