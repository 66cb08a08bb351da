#pragma once

#include <cstdint>
#include <string>

// An Ogg Vorbis file: identification and comment headers, and the sample count
// of the last page.
class TOggVorbis {
public:
    TOggVorbis() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const;
    double Duration() const;
    uint32_t BitRate() const; // kbit/s

    bool Valid;
    int64_t FileSize;
    uint8_t Channels;
    uint8_t ChannelModeID;   // 1 mono, 2 stereo, 0 otherwise
    uint32_t SampleRate;     // 0 outside 1,000..768,000
    uint16_t BitRateNominal; // kbit/s, 0 outside 16..350
    int64_t Samples;
    std::string Title, Artist, Album;
    int32_t Track;
    std::string Date, Genre, Comment, Vendor;
};
