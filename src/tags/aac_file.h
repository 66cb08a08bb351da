#pragma once

#include "tags/file_tags.h"

#include <cstdint>
#include <string>

// A raw AAC file: one ADIF header, or a run of ADTS frames.
class TAACfile : public TFileTags {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);

    std::string HeaderTypeName() const;
    std::string MPEGVersionName() const;
    std::string ProfileName() const;
    std::string BitrateTypeName() const;
    double Duration() const;

    int64_t FileSize = 0;
    uint8_t HeaderTypeID = 0;  // 0 unknown, 1 ADIF, 2 ADTS
    uint8_t MPEGVersionID = 0; // 0 unknown, 1 MPEG-2, 2 MPEG-4
    uint8_t ProfileID = 0;     // 0 unknown, 1 Main, 2 LC, 3 SSR, 4 LTP
    uint8_t Channels = 0;
    int32_t SampleRate = 0;
    int32_t BitRate = 0;       // bit/s
    uint8_t BitrateTypeID = 0; // 0 unknown, 1 CBR, 2 VBR
    int64_t Frames = 0;        // ADTS frames counted when every frame was walked

private:
    void ReadADIF(class TBinaryFile& f);
    void ReadADTS(class TBinaryFile& f);
};
