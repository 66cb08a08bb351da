#include "tags/ogg_packets.h"

#include <algorithm>
#include <cstring>
#include <vector>

bool TOggPacketReader::NextPacket() {
    while (!atPacketEnd_) {
        if (segLeft_ > 0) {
            dataPos_ += segLeft_;
            segLeft_ = 0;
        } else if (!Advance()) {
            return false;
        }
    }
    atPacketEnd_ = false;
    return true;
}

// Loads the next page of the stream at or after pos that has segments.
bool TOggPacketReader::LoadPage(int64_t pos, bool first) {
    for (;;) {
        unsigned char h[27];
        if (!f_.ReadExact(pos, h, 27) || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0) return false;
        nsegs_ = h[26];
        if (!f_.ReadExact(pos + 27, segs_, static_cast<size_t>(nsegs_))) return false;
        uint32_t serial = Le32(h + 14);
        int64_t body = 0;
        for (int i = 0; i < nsegs_; ++i)
            body += segs_[i];
        int64_t data = pos + 27 + nsegs_;
        if (first) serial_ = serial;
        first = false;
        if (serial == serial_ && nsegs_ > 0) {
            dataPos_ = data;
            nextPage_ = data + body;
            seg_ = 0;
            segLeft_ = segs_[0];
            return true;
        }
        pos = data + body; // another stream's page, or an empty one
    }
}

// The current segment is used up: a segment shorter than 255 ends the packet.
bool TOggPacketReader::Advance() {
    if (segs_[seg_] < 255) atPacketEnd_ = true;
    if (++seg_ >= nsegs_) {
        if (!LoadPage(nextPage_, false)) return false;
    } else {
        segLeft_ = segs_[seg_];
    }
    return true;
}

bool TOggPacketReader::Take(char* out, uint64_t n) {
    while (n > 0) {
        if (atPacketEnd_) return false;
        if (segLeft_ == 0) {
            if (!Advance()) return false;
            continue;
        }
        size_t k = static_cast<size_t>(std::min<uint64_t>(n, segLeft_));
        if (out) {
            if (!f_.ReadExact(dataPos_, out, k)) return false;
            out += k;
        }
        dataPos_ += static_cast<int64_t>(k);
        segLeft_ -= static_cast<unsigned>(k);
        n -= k;
    }
    return true;
}

int64_t OggLastGranule(TBinaryFile& f, uint32_t serial) {
    const int64_t size = f.Size();
    constexpr int64_t kStep = 16 * 1024;
    constexpr int64_t kReach = 80 * 1024; // longer than the largest page
    std::vector<unsigned char> buf;
    for (int64_t span = std::min(size, kStep);; span = std::min(size, span + kStep)) {
        int64_t start = size - span;
        buf.resize(static_cast<size_t>(span));
        if (!f.ReadExact(start, buf.data(), buf.size())) return 0;
        for (int64_t i = span - 27; i >= 0; --i) {
            const unsigned char* p = buf.data() + i;
            if (p[0] != 'O' || p[1] != 'g' || p[2] != 'g' || p[3] != 'S' || p[4] != 0) continue;
            if (Le32(p + 14) != serial) continue;
            auto g = static_cast<int64_t>(Le64(p + 6));
            if (g < 0) continue; // no packet ends on this page
            return g;
        }
        if (span >= size || span >= kReach) return 0;
    }
}
