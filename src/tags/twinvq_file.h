#pragma once

#include <cstdint>
#include <string>

// The header and text chunks of a TwinVQ file.
class TTwinVQ {
public:
    TTwinVQ() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const;

    bool Valid;
    uint8_t ChannelModeID;
    uint16_t BitRate; // kbit/s
    uint32_t SampleRate;
    int64_t FileSize;
    double Duration;
    std::string Title, Comment, Author, Copyright, OriginalFile;
};
