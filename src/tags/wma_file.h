#pragma once

#include "tags/channel_mode.h"

#include <cstdint>
#include <string>

// The header of a Windows Media audio file (the ASF container).
class TWMAfile {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const { return ChannelModeText(ChannelModeID); }

    bool Valid = false; // the file is ASF; the stream values are 0 where implausible
    int64_t FileSize = 0;
    uint16_t Channels = 0;
    uint8_t ChannelModeID = 0; // 1 mono, 2 stereo, 0 otherwise
    int32_t SampleRate = 0;
    double Duration = 0;
    int32_t BitRate = 0; // kbit/s
    std::string Title, Artist, Album;
    int32_t Track = 0;
    std::string Year, Genre, Comment;
};
