#pragma once

#include "tags/ape_tag.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <cstdint>
#include <string>

// A Musepack file, stream version 7 ("MP+") or 8 ("MPCK"), with the APE tag
// it usually carries.
class TMusepackFile {
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
    TID3v1 ID3v1;
    TID3v2 ID3v2;
    TAPEtag APEtag;

private:
    void ReadSV7(const unsigned char* b);
    void ReadSV8(class TBinaryFile& f, int64_t pos);
};
