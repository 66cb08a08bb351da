#pragma once

#include "tags/channel_mode.h"

#include <cstdint>
#include <string>

// An Ogg Vorbis file: identification and comment headers, and the sample count
// of the last page.
class TOggVorbis {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const { return ChannelModeText(ChannelModeID); }
    double Duration() const;
    uint32_t BitRate() const; // kbit/s

    bool Valid = false;
    int64_t FileSize = 0;
    uint8_t Channels = 0;
    uint8_t ChannelModeID = 0;   // 1 mono, 2 stereo, 0 otherwise
    uint32_t SampleRate = 0;     // 0 outside 1,000..768,000
    uint16_t BitRateNominal = 0; // kbit/s, 0 outside 16..350
    int64_t Samples = 0;
    std::string Title, Artist, Album;
    int32_t Track = 0;
    std::string Date, Genre, Comment, Vendor;
};
