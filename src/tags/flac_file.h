#pragma once

#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <cstdint>
#include <string>

// The STREAMINFO block of a FLAC file, with its ID3 tags.
class TFLACfile {
public:
    TFLACfile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    bool IsValid() const;
    double Duration() const;

    uint8_t Channels;
    int32_t SampleRate;
    uint8_t BitsPerSample;
    int64_t FileSize;
    int64_t Samples; // all 36 bits of the count
    TID3v1 ID3v1;
    TID3v2 ID3v2;
};
