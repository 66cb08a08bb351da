#pragma once

#include "tags/file_tags.h"

#include <cstdint>
#include <string>

// A Musepack file, stream version 7 ("MP+") or 8 ("MPCK"), with the APE tag
// it usually carries.
class TMusepackFile : public TFileTags {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    double Duration() const;
    uint32_t BitRate() const; // kbit/s, the audio without the tags

    int StreamVersion = 0; // 7 or 8; 0 when not Musepack
    int64_t FileSize = 0;
    uint8_t Channels = 0;
    uint32_t SampleRate = 0;
    int64_t Samples = 0; // per channel, without the encoder's leading silence

private:
    void ReadSV7(const unsigned char* b);
    void ReadSV8(class TBinaryFile& f, int64_t pos);
};
