#pragma once

#include "tags/file_tags.h"

#include <cstdint>
#include <string>

// A WavPack file: the RIFF layout of version 3 (and plain PCM WAVE), and the
// block layout of version 4 and later.
class TWAVPackfile : public TFileTags {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);

    int64_t FileSize = 0;
    bool Valid = false;
    int32_t FormatTag = 0;
    int32_t Version = 0;
    int32_t Channels = 0;
    int32_t SampleRate = 0;
    int32_t Bits = 0;
    double BitRate = 0; // kbit/s
    double Duration = 0;

private:
    bool ReadRiff(class TBinaryFile& f, int64_t pos, int64_t tags);
    void ReadBlocks(class TBinaryFile& f, int64_t pos, int64_t tags);
};
