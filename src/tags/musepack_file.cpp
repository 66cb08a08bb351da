#include "tags/musepack_file.h"

#include "tags/binary_file.h"

#include <cmath>
#include <cstring>

namespace {

const uint32_t kRates[4] = {44100, 48000, 37800, 32000};
constexpr int kMaxPackets = 64; // the stream header comes first in real files

// A packet size of SV8: 7 bits a byte, most significant first, at most 8 bytes.
bool ReadVarSize(const unsigned char* b, size_t len, size_t& p, uint64_t& out) {
    out = 0;
    for (int i = 0; i < 8 && p < len; ++i) {
        const unsigned char c = b[p++];
        out = out << 7 | (c & 0x7F);
        if (!(c & 0x80)) return true;
    }
    return false;
}

} // namespace

bool TMusepackFile::ReadFromFile(const std::string& path) {
    ResetData();
    ReadTags(path);
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    FileSize = f.Size();
    unsigned char b[32] = {};
    if (f.ReadAt(ID3v2.Size, b, sizeof b) < 0) return false;
    if (std::memcmp(b, "MP+", 3) == 0 && (b[3] & 0x0F) == 7)
        ReadSV7(b);
    else if (std::memcmp(b, "MPCK", 4) == 0)
        ReadSV8(f, ID3v2.Size + 4);
    return true;
}

// Frame count at 4; the rate in bits 16-17 of the word at 8; the samples of
// the last frame in the gapless word at 20 when its top bit is set.
void TMusepackFile::ReadSV7(const unsigned char* b) {
    StreamVersion = 7;
    Channels = 2;
    SampleRate = kRates[(Le32(b + 8) >> 16) & 3];
    const int64_t frames = Le32(b + 4);
    const uint32_t gapless = Le32(b + 20);
    const int64_t last = (gapless >> 31) ? (gapless >> 20) & 0x7FF : 576;
    Samples = frames > 0 ? frames * 1152 - (1152 - last) : 0;
}

// Packets of a two-letter key and a size that counts the key and itself; the
// stream header ("SH") holds the sample count and the layout.
void TMusepackFile::ReadSV8(TBinaryFile& f, int64_t pos) {
    for (int i = 0; i < kMaxPackets; ++i) {
        unsigned char b[64] = {};
        const int64_t got = f.ReadAt(pos, b, sizeof b);
        if (got < 3) return;
        size_t p = 2;
        uint64_t size = 0;
        if (!ReadVarSize(b, static_cast<size_t>(got), p, size) || size < p) return;
        if (std::memcmp(b, "SH", 2) == 0) {
            p += 5; // CRC and stream version
            uint64_t samples = 0, silence = 0;
            if (!ReadVarSize(b, static_cast<size_t>(got), p, samples) ||
                !ReadVarSize(b, static_cast<size_t>(got), p, silence) ||
                p + 2 > static_cast<size_t>(got))
                return;
            StreamVersion = 8;
            const uint16_t flags = Be16(b + p);
            SampleRate = kRates[(flags >> 13) & 3];
            Channels = static_cast<uint8_t>(((flags >> 4) & 0x0F) + 1);
            Samples = samples >= silence && samples < (1ULL << 62)
                          ? static_cast<int64_t>(samples - silence)
                          : 0;
            return;
        }
        if (std::memcmp(b, "AP", 2) == 0 || std::memcmp(b, "SE", 2) == 0) return;
        pos += static_cast<int64_t>(size);
    }
}

double TMusepackFile::Duration() const {
    return SampleRate > 0 ? static_cast<double>(Samples) / SampleRate : 0;
}

uint32_t TMusepackFile::BitRate() const {
    const double d = Duration();
    if (d <= 0) return 0;
    const int64_t tags = TagBytes();
    const double v = std::nearbyint(static_cast<double>(FileSize - tags) * 8 / d / 1000);
    return v > 0 && v < 4e9 ? static_cast<uint32_t>(v) : 0;
}
