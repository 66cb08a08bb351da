#include "tags/aac_file.h"

#include "tags/binary_file.h"

#include <cmath>
#include <cstring>

namespace {

const int32_t kSampleRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                  16000, 12000, 11025, 8000,  0,     0,     0,     0};

// `count` bits (at most 25) at bit position `pos` of a byte buffer; bits past its end are 0.
uint32_t Bits(const unsigned char* b, size_t len, uint64_t pos, unsigned count) {
    uint64_t byte = pos / 8;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v <<= 8;
        if (byte + i < len) v |= b[byte + i];
    }
    v <<= pos % 8;
    return v >> (32 - count);
}

} // namespace

bool TAACfile::ReadFromFile(const std::string& path) {
    ResetData();
    if (!ReadTags(path)) return false;
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    FileSize = f.Size();
    unsigned char h[4];
    if (!f.ReadExact(ID3v2.Size, h, 4)) return true; // too short for either header
    if (std::memcmp(h, "ADIF", 4) == 0)
        HeaderTypeID = 1;
    else if (h[0] == 0xFF && (h[1] & 0xF0) == 0xF0)
        HeaderTypeID = 2;
    if (HeaderTypeID == 1) ReadADIF(f);
    if (HeaderTypeID == 2) ReadADTS(f);
    return true;
}

void TAACfile::ReadADIF(TBinaryFile& f) {
    unsigned char b[32];
    f.ReadZeroFilled(ID3v2.Size, b, sizeof b);
    uint64_t p = Bits(b, sizeof b, 32, 1) ? 107 : 35;
    BitrateTypeID = Bits(b, sizeof b, p, 1) ? 2 : 1;
    BitRate = static_cast<int32_t>(Bits(b, sizeof b, p + 1, 23));
    p += BitrateTypeID == 1 ? 52 : 32;
    MPEGVersionID = 2;
    ProfileID = static_cast<uint8_t>(Bits(b, sizeof b, p, 2) + 1);
    SampleRate = kSampleRates[Bits(b, sizeof b, p + 2, 4)];
    Channels = static_cast<uint8_t>(Bits(b, sizeof b, p + 6, 4) + Bits(b, sizeof b, p + 10, 4) +
                                    Bits(b, sizeof b, p + 14, 4) + Bits(b, sizeof b, p + 18, 2));
}

void TAACfile::ReadADTS(TBinaryFile& f) {
    int64_t frames = 0;
    int64_t total = 0;
    unsigned char b[7];
    for (;;) {
        int64_t pos = ID3v2.Size + total;
        if (f.ReadZeroFilled(pos, b, sizeof b) < 0) break;
        // Only frames that are there count: a tag after the last one is not a frame.
        if (Bits(b, 7, 0, 12) != 0xFFF) break;
        ++frames;
        MPEGVersionID = Bits(b, 7, 12, 1) ? 1 : 2;
        ProfileID = static_cast<uint8_t>(Bits(b, 7, 16, 2) + 1);
        SampleRate = kSampleRates[Bits(b, 7, 18, 4)];
        Channels = static_cast<uint8_t>(Bits(b, 7, 23, 3));
        // The frame length follows the same fields in both versions.
        uint32_t len = Bits(b, 7, 30, 13);
        total += len;
        BitrateTypeID = Bits(b, 7, 43, 11) == 0x7FF ? 2 : 1;
        if (BitrateTypeID == 1 || len == 0) break; // CBR: the first frame tells
        if (ID3v2.Size + total >= FileSize) break;
    }
    if (frames == 0) return;
    if (BitrateTypeID == 2) Frames = frames; // every frame was walked
    double v = static_cast<double>(total) * 8.0 / 1024.0 / static_cast<double>(frames) * SampleRate;
    v = std::nearbyint(v);
    BitRate = v > 0 && v < 2e9 ? static_cast<int32_t>(v) : 0;
}

std::string TAACfile::HeaderTypeName() const {
    static const char* const n[3] = {"Unknown", "ADIF", "ADTS"};
    return n[HeaderTypeID <= 2 ? HeaderTypeID : 0];
}
std::string TAACfile::MPEGVersionName() const {
    static const char* const n[3] = {"Unknown", "MPEG-2", "MPEG-4"};
    return n[MPEGVersionID <= 2 ? MPEGVersionID : 0];
}
std::string TAACfile::ProfileName() const {
    static const char* const n[5] = {"Unknown", "AAC Main", "AAC LC", "AAC SSR", "AAC LTP"};
    return n[ProfileID <= 4 ? ProfileID : 0];
}
std::string TAACfile::BitrateTypeName() const {
    static const char* const n[3] = {"Unknown", "CBR", "VBR"};
    return n[BitrateTypeID <= 2 ? BitrateTypeID : 0];
}

double TAACfile::Duration() const {
    // A walked stream has an exact length: 1024 samples a frame.
    if (Frames > 0 && SampleRate > 0) return static_cast<double>(Frames) * 1024.0 / SampleRate;
    if (BitRate <= 0) return 0;
    const int64_t tags = TagBytes();
    // Tags that claim more than the file holds leave no stream to time.
    if (tags >= FileSize) return 0;
    return static_cast<double>(FileSize - tags) * 8.0 / BitRate;
}
