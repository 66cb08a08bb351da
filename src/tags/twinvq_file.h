#pragma once

#include "tags/channel_mode.h"

#include <cstdint>
#include <string>

// The header and text chunks of a TwinVQ file.
class TTwinVQ {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const { return ChannelModeText(ChannelModeID); }

    bool Valid = false;
    uint8_t ChannelModeID = 0;
    uint16_t BitRate = 0; // kbit/s
    uint32_t SampleRate = 0;
    int64_t FileSize = 0;
    double Duration = 0;
    std::string Title, Comment, Author, Copyright, OriginalFile;
};
