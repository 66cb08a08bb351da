#pragma once

#include <cstdint>
#include <string>

// The header of a Windows Media audio file (the ASF container).
class TWMAfile {
public:
    TWMAfile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const;

    bool Valid; // the file is ASF; the stream values are 0 where implausible
    int64_t FileSize;
    uint16_t Channels;
    uint8_t ChannelModeID; // 1 mono, 2 stereo, 0 otherwise
    int32_t SampleRate;
    double Duration;
    int32_t BitRate; // kbit/s
    std::string Title, Artist, Album;
    int32_t Track;
    std::string Year, Genre, Comment;
};
