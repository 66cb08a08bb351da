#pragma once

#include "tags/file_tags.h"

#include <cstdint>
#include <string>

// A WavPack file: the RIFF layout of version 3 (and plain PCM WAVE), and the
// block layout of version 4 and later.
class TWAVPackfile : public TFileTags {
public:
    TWAVPackfile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);

    int64_t FileSize;
    bool Valid;
    int32_t FormatTag;
    int32_t Version;
    int32_t Channels;
    int32_t SampleRate;
    int32_t Bits;
    double BitRate; // kbit/s
    double Duration;

private:
    bool ReadRiff(class TBinaryFile& f, int64_t pos, int64_t tags);
    void ReadBlocks(class TBinaryFile& f, int64_t pos, int64_t tags);
};
