#pragma once

#include <cstdint>
#include <string>

// The canonical 44-byte header of a RIFF WAVE file.
class TWAVfile {
public:
    TWAVfile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const;
    double Duration() const;

    bool Valid;
    uint8_t ChannelModeID;
    uint32_t SampleRate;
    uint16_t BitsPerSample;
    int64_t FileSize; // RIFF size + 8
};
