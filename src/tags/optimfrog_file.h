#pragma once

#include "tags/file_tags.h"

#include <cstdint>
#include <string>

// The 23-byte header of an OptimFROG file, with its tags.
class TOptimFrog : public TFileTags {
public:
    struct THeader {
        char ID[4] = {};
        uint32_t Size = 0;
        uint32_t Length = 0;
        uint16_t HiLength = 0;
        uint8_t SampleType = 0;
        uint8_t ChannelMode = 0;
        int32_t SampleRate = 0;
        uint16_t EncoderID = 0;
        uint8_t CompressionID = 0;
    };

    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);

    std::string EncoderVersion() const;
    int8_t BitsPerSample() const;
    std::string ChannelModeName() const;
    int64_t Samples() const;
    double Duration() const;
    int32_t SampleRate() const { return Header.SampleRate; }

    int64_t FileSize = 0;
    THeader Header;
};
