#pragma once

#include "tags/file_tags.h"

#include <cstdint>
#include <string>

// A Musepack file, stream version 7 ("MP+") or 8 ("MPCK"), with the APE tag
// it usually carries.
class TMusepackFile : public TFileTags {
public:
    TMusepackFile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    double Duration() const;
    uint32_t BitRate() const; // kbit/s, the audio without the tags

    int StreamVersion; // 7 or 8; 0 when not Musepack
    int64_t FileSize;
    uint8_t Channels;
    uint32_t SampleRate;
    int64_t Samples; // per channel, without the encoder's leading silence

private:
    void ReadSV7(const unsigned char* b);
    void ReadSV8(class TBinaryFile& f, int64_t pos);
};
