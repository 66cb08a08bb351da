#pragma once

#include "tags/vorbis_comment.h"

#include <cstdint>
#include <string>

// An Ogg Opus file: OpusHead, OpusTags, and the length from the last granule
// position less the pre-skip, at the 48 kHz every Opus stream decodes to.
class TOpusFile {
public:
    TOpusFile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    double Duration() const;
    uint32_t BitRate() const; // kbit/s, over the whole file

    static constexpr uint32_t kRate = 48000;
    bool Valid;
    int64_t FileSize;
    uint8_t Channels;
    uint16_t PreSkip;
    uint32_t InputSampleRate; // what the encoder was given; informational
    int64_t Granule;
    TVorbisComment Comments;
};
