#pragma once

#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/vorbis_comment.h"

#include <cstdint>
#include <string>

// A FLAC stream, native or in Ogg: its STREAMINFO block and Vorbis comment,
// with the ID3 tags some taggers put around a native one.
class TFLACfile {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    bool IsValid() const;
    double Duration() const;

    uint8_t Channels = 0;
    int32_t SampleRate = 0;
    uint8_t BitsPerSample = 0;
    int64_t FileSize = 0;
    int64_t Samples = 0; // all 36 bits of the count
    bool Ogg = false;    // the stream is in an Ogg container
    TVorbisComment VorbisComment;
    TID3v1 ID3v1;
    TID3v2 ID3v2;

private:
    void ReadStreamInfo(const unsigned char* b);
    void ReadNative(class TBinaryFile& f, int64_t pos);
    bool ReadOgg(class TBinaryFile& f);
};
