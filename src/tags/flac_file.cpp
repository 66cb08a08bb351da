#include "tags/flac_file.h"

#include "tags/binary_file.h"

#include <cstring>

void TFLACfile::ResetData() {
    Channels = 0;
    SampleRate = 0;
    BitsPerSample = 0;
    FileSize = 0;
    Samples = 0;
    ID3v1.ResetData();
    ID3v2.ResetData();
}

bool TFLACfile::ReadFromFile(const std::string& path) {
    ResetData();
    ID3v1.ReadFromFile(path);
    ID3v2.ReadFromFile(path);
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    FileSize = f.Size();
    unsigned char b[42] = {};
    if (f.ReadAt(0, b, 42) < 0) return false;
    // A stream behind an ID3v2 tag starts after it.
    if (std::memcmp(b, "fLaC", 4) != 0 && ID3v2.Exists && ID3v2.Size > 0) {
        std::memset(b, 0, sizeof b);
        if (f.ReadAt(ID3v2.Size, b, 42) < 0) return false;
    }
    if (std::memcmp(b, "fLaC", 4) != 0) return false;
    Channels = static_cast<uint8_t>(((b[20] >> 1) & 7) + 1);
    SampleRate = b[18] * 4096 + b[19] * 16 + (b[20] >> 4);
    BitsPerSample = static_cast<uint8_t>((b[20] & 1) * 16 + (b[21] >> 4) + 1);
    Samples = static_cast<int64_t>(b[21] & 0x0F) << 32 | Be32(b + 22);
    return true;
}

bool TFLACfile::IsValid() const {
    return Channels > 0 && SampleRate > 0 && BitsPerSample > 0 && Samples > 0;
}

double TFLACfile::Duration() const {
    return IsValid() ? static_cast<double>(Samples) / SampleRate : 0;
}
