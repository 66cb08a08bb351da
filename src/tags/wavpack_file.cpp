#include "tags/wavpack_file.h"

#include "tags/binary_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

const int32_t kBlockRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                 32000, 44100, 48000, 64000, 88200, 96000, 192000};

} // namespace

bool TWAVPackfile::ReadFromFile(const std::string& path) {
    ResetData();
    ReadTags(path);
    const int64_t tags = TagBytes();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    int64_t pos = ID3v2.Exists ? ID3v2.Size : 0;
    unsigned char h[12];
    int64_t got = f.ReadAt(pos, h, 12);
    if (got < 0) return false;
    if (got >= 4 && std::memcmp(h, "wvpk", 4) == 0) {
        ReadBlocks(f, pos, tags);
        return true;
    }
    if (got < 12 || std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0)
        return true;
    return ReadRiff(f, pos + 12, tags);
}

bool TWAVPackfile::ReadRiff(TBinaryFile& f, int64_t pos, int64_t tags) {
    const int64_t size = f.Size();
    bool formatSeen = false;
    int64_t byteRate = 0;
    while (pos < size) {
        unsigned char ch[8];
        if (!f.ReadExact(pos, ch, 8)) break;
        uint32_t chunkSize = Le32(ch + 4);
        if (chunkSize == 0) break;
        int64_t p = pos + 8;
        if (std::memcmp(ch, "fmt ", 4) == 0 && chunkSize >= 16) {
            unsigned char fmt[16];
            if (!f.ReadExact(p, fmt, 16)) break;
            formatSeen = true;
            FileSize = size;
            Valid = true;
            FormatTag = Le16(fmt);
            Channels = Le16(fmt + 2);
            // A rate past what an int holds is damage, not a rate: unknown.
            const uint32_t rate = Le32(fmt + 4);
            SampleRate = rate <= uint32_t(INT32_MAX) ? static_cast<int32_t>(rate) : 0;
            byteRate = Le32(fmt + 8);
            Bits = Le16(fmt + 14);
            BitRate = static_cast<double>(byteRate) / 125.0;
        } else if (std::memcmp(ch, "data", 4) == 0 && formatSeen) {
            unsigned char w[36];
            int64_t got = f.ReadZeroFilled(p, w, 36);
            if (got < 0) return false;
            if (std::memcmp(w, "wvpk", 4) == 0) {
                Valid = true;
                Version = Le16(w + 8);
                Channels = 2 - (Le16(w + 12) & 1);
                if (SampleRate > 0) {
                    Duration = static_cast<double>(Le32(w + 16)) / SampleRate;
                    if (Duration > 0)
                        BitRate = static_cast<double>(FileSize - tags - Le32(w + 4)) * 8.0 /
                                  (Duration * 1000.0);
                }
            } else {
                // The bytes actually present count when the chunk says more.
                int64_t left = size - p;
                int64_t dataLen = chunkSize;
                if (left < dataLen) dataLen = left;
                if (dataLen > 0 && byteRate > 0)
                    Duration = static_cast<double>(dataLen) / static_cast<double>(byteRate);
            }
            break;
        }
        // RIFF chunks are padded to an even size.
        pos = p + chunkSize + (chunkSize & 1);
    }
    return true;
}

void TWAVPackfile::ReadBlocks(TBinaryFile& f, int64_t pos, int64_t tags) {
    // The first block: a 32-byte header and the metadata sub-blocks after it.
    unsigned char b[1024];
    int64_t got = f.ReadZeroFilled(pos, b, sizeof b);
    if (got < 32) return;
    const uint32_t blockSize = Le32(b + 4) + 8;
    const uint32_t flags = Le32(b + 24);
    Version = Le16(b + 8);
    Valid = true;
    FileSize = f.Size();
    Channels = (flags & 4) ? 1 : 2;
    Bits = static_cast<int32_t>((flags & 3) + 1) * 8;
    const unsigned rateIndex = (flags >> 23) & 0xF;
    SampleRate = rateIndex < 15 ? kBlockRates[rateIndex] : 0;
    // Sample counts are 40 bits since version 5; all ones is unknown.
    uint64_t samples = Le32(b + 12);
    if (samples == 0xFFFFFFFFu)
        samples = 0;
    else
        samples |= static_cast<uint64_t>(b[11]) << 32;
    const size_t end = std::min<size_t>(std::min<int64_t>(got, blockSize), sizeof b);
    for (size_t i = 32; i + 2 <= end;) {
        unsigned char id = b[i];
        size_t len, head;
        if (id & 0x80) {
            if (i + 4 > end) break;
            len = (static_cast<size_t>(b[i + 1]) | b[i + 2] << 8 | b[i + 3] << 16) * 2;
            head = 4;
        } else {
            len = static_cast<size_t>(b[i + 1]) * 2;
            head = 2;
        }
        const unsigned char* d = b + i + head;
        size_t avail = i + head <= end ? end - (i + head) : 0;
        if ((id & 0x3F) == 0x0D && avail >= 1 && len >= 1) Channels = d[0]; // channel info
        if ((id & 0x3F) == 0x27 && avail >= 3 && len >= 3)                  // sample rate
            SampleRate = static_cast<int32_t>(d[0] | d[1] << 8 | d[2] << 16);
        i += head + len;
    }
    if (SampleRate > 0 && samples > 0) {
        Duration = static_cast<double>(samples) / SampleRate;
        BitRate = static_cast<double>(FileSize - tags) * 8.0 / (Duration * 1000.0);
    }
}
