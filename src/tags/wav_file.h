#pragma once

#include <cstdint>
#include <string>

// A WAVE file: RIFF, or RF64 for files past 4 GiB. The chunks are walked to
// the "fmt " and "data" chunks, whatever comes before them (JUNK, LIST, bext).
class TWAVfile {
public:
    TWAVfile() { ResetData(); }
    void ResetData();
    bool ReadFromFile(const std::string& path);
    std::string ChannelModeName() const;
    double Duration() const;

    bool Valid;            // a "fmt " chunk with at least one channel was read
    uint16_t Channels;     // any count; WAVE_FORMAT_EXTENSIBLE files have up to 18
    uint8_t ChannelModeID; // 1 mono, 2 stereo, 0 otherwise
    uint16_t FormatTag;    // the subformat's tag for WAVE_FORMAT_EXTENSIBLE
    uint32_t SampleRate;
    uint32_t ByteRate;
    uint16_t BitsPerSample;
    int64_t FileSize; // RIFF size + 8
    int64_t DataSize; // bytes of sound the "data" chunk declares
};
