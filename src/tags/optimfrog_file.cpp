#include "tags/optimfrog_file.h"

#include "tags/binary_file.h"

#include <charconv>
#include <cstring>

bool TOptimFrog::ReadFromFile(const std::string& path) {
    ResetData();
    ReadTags(path);
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    FileSize = f.Size();
    unsigned char b[23];
    if (!f.ReadExact(ID3v2.Size, b, 23)) return false;
    std::memcpy(Header.ID, b, 4);
    Header.Size = Le32(b + 4);
    Header.Length = Le32(b + 8);
    Header.HiLength = Le16(b + 12);
    Header.SampleType = b[14];
    Header.ChannelMode = b[15];
    Header.SampleRate = Le32(b + 16) <= INT32_MAX ? static_cast<int32_t>(Le32(b + 16)) : 0;
    Header.EncoderID = Le16(b + 20);
    Header.CompressionID = b[22];
    return std::memcmp(b, "OFR ", 4) == 0;
}

std::string TOptimFrog::EncoderVersion() const {
    // Always with "." whatever the locale: the text is stored in catalogs.
    double v = ((Header.EncoderID >> 4) + 4500) / 1000.0;
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    std::string s(buf, r.ptr);
    if (s.size() < 5) s.insert(0, 5 - s.size(), ' ');
    return s;
}

int8_t TOptimFrog::BitsPerSample() const {
    static const int8_t bits[11] = {8, 8, 16, 16, 24, 24, 32, 32, -32, -32, -32};
    return Header.SampleType <= 10 ? bits[Header.SampleType] : 0;
}

std::string TOptimFrog::ChannelModeName() const {
    if (Header.ChannelMode == 0) return "Mono";
    if (Header.ChannelMode == 1) return "Stereo";
    return {};
}

int64_t TOptimFrog::Samples() const {
    uint64_t all = static_cast<uint64_t>(Header.HiLength) << 32 | Header.Length;
    return static_cast<int64_t>(all >> (Header.ChannelMode & 63));
}

double TOptimFrog::Duration() const {
    return Header.SampleRate > 0 ? static_cast<double>(Samples()) / Header.SampleRate : 0;
}
