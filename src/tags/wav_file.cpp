#include "tags/wav_file.h"

#include "tags/binary_file.h"

#include <cstring>

namespace {

constexpr int kMaxChunks = 1024; // chunks before "data" in real files: a handful
constexpr uint16_t kPcm = 1, kFloat = 3, kExtensible = 0xFFFE;

} // namespace

bool TWAVfile::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    unsigned char h[12];
    if (!f.IsOpen() || !f.ReadExact(0, h, 12) || f.Size() < 44) return false;
    const bool rf64 = std::memcmp(h, "RF64", 4) == 0 || std::memcmp(h, "BW64", 4) == 0;
    if ((!rf64 && std::memcmp(h, "RIFF", 4) != 0) || std::memcmp(h + 8, "WAVE", 4) != 0)
        return true;
    FileSize = static_cast<int64_t>(Le32(h + 4)) + 8;
    uint64_t dataSize64 = 0;
    bool haveFormat = false;
    int64_t pos = 12;
    for (int i = 0; i < kMaxChunks; ++i) {
        unsigned char c[8];
        if (!f.ReadExact(pos, c, 8)) break;
        const uint32_t size = Le32(c + 4);
        const int64_t body = pos + 8;
        if (std::memcmp(c, "ds64", 4) == 0 && size >= 16) {
            // Sizes past 4 GiB live here; the 32-bit fields say FFFFFFFF.
            unsigned char d[16];
            if (!f.ReadExact(body, d, 16)) break;
            FileSize = static_cast<int64_t>(Le64(d) & 0x3FFFFFFFFFFFFFFF) + 8;
            dataSize64 = Le64(d + 8);
        } else if (std::memcmp(c, "fmt ", 4) == 0 && size >= 16) {
            unsigned char d[40] = {};
            if (f.ReadAt(body, d, size >= 40 ? 40 : 16) < 16) break;
            FormatTag = Le16(d);
            Channels = Le16(d + 2);
            SampleRate = Le32(d + 4);
            ByteRate = Le32(d + 8);
            BitsPerSample = Le16(d + 14);
            // The subformat GUID starts with the real format tag.
            if (FormatTag == kExtensible && size >= 40) FormatTag = Le16(d + 24);
            haveFormat = true;
        } else if (std::memcmp(c, "data", 4) == 0) {
            DataSize = size == 0xFFFFFFFFu && rf64
                           ? static_cast<int64_t>(dataSize64 & 0x7FFFFFFFFFFFFFFF)
                           : static_cast<int64_t>(size);
            break;
        }
        // Chunks are padded to an even size.
        pos = body + size + (size & 1);
    }
    if (!haveFormat || Channels == 0) return true;
    Valid = true;
    ChannelModeID = ChannelModeOf(Channels);
    return true;
}

double TWAVfile::Duration() const {
    if (!Valid || SampleRate == 0) return 0;
    // Samples of a known size; anything compressed goes by its byte rate.
    if ((FormatTag == kPcm || FormatTag == kFloat) && BitsPerSample > 0)
        return static_cast<double>(DataSize) * 8.0 / SampleRate / BitsPerSample / Channels;
    if (ByteRate > 0) return static_cast<double>(DataSize) / ByteRate;
    return 0;
}
