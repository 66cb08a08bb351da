#pragma once

#include "tags/channel_mode.h"

#include <cstdint>
#include <string>

// A WAVE file: RIFF, or RF64 for files past 4 GiB. The chunks are walked to
// the "fmt " and "data" chunks, whatever comes before them (JUNK, LIST, bext).
class TWAVfile {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const { return ChannelModeText(ChannelModeID); }
    double Duration() const;

    bool Valid = false;        // a "fmt " chunk with at least one channel was read
    uint16_t Channels = 0;     // any count; WAVE_FORMAT_EXTENSIBLE files have up to 18
    uint8_t ChannelModeID = 0; // 1 mono, 2 stereo, 0 otherwise
    uint16_t FormatTag = 0;    // the subformat's tag for WAVE_FORMAT_EXTENSIBLE
    uint32_t SampleRate = 0;
    uint32_t ByteRate = 0;
    uint16_t BitsPerSample = 0;
    int64_t FileSize = 0; // RIFF size + 8
    int64_t DataSize = 0; // bytes of sound the "data" chunk declares
};
