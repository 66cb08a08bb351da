#pragma once

#include "tags/vorbis_comment.h"

#include <cstdint>
#include <string>

// An Ogg Opus file: OpusHead, OpusTags, and the length from the last granule
// position less the pre-skip, at the 48 kHz every Opus stream decodes to.
class TOpusFile {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    double Duration() const;
    uint32_t BitRate() const; // kbit/s, over the whole file

    static constexpr uint32_t kRate = 48000;
    bool Valid = false;
    int64_t FileSize = 0;
    uint8_t Channels = 0;
    uint16_t PreSkip = 0;
    uint32_t InputSampleRate = 0; // what the encoder was given; informational
    int64_t Granule = 0;
    TVorbisComment Comments;
};
