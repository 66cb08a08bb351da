#include "tags/wav_file.h"

#include "tags/binary_file.h"

#include <cstring>

void TWAVfile::ResetData() {
    Valid = false;
    ChannelModeID = 0;
    SampleRate = 0;
    BitsPerSample = 0;
    FileSize = 0;
}

bool TWAVfile::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    unsigned char h[44];
    if (!f.IsOpen() || !f.ReadExact(0, h, 44)) return false;
    uint16_t channels = Le16(h + 22);
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0 ||
        std::memcmp(h + 12, "fmt ", 4) != 0 || (channels != 1 && channels != 2))
        return true;
    Valid = true;
    ChannelModeID = static_cast<uint8_t>(channels);
    SampleRate = Le32(h + 24);
    BitsPerSample = Le16(h + 34);
    FileSize = static_cast<int64_t>(Le32(h + 4)) + 8;
    return true;
}

std::string TWAVfile::ChannelModeName() const {
    static const char* const names[3] = {"Unknown", "Mono", "Stereo"};
    return names[ChannelModeID <= 2 ? ChannelModeID : 0];
}

double TWAVfile::Duration() const {
    if (!Valid || SampleRate == 0 || BitsPerSample == 0 || ChannelModeID == 0) return 0;
    return static_cast<double>(FileSize - 44) * 8.0 / SampleRate / BitsPerSample / ChannelModeID;
}
