#pragma once

#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <cstdint>
#include <string>

// An MPEG audio stream (MPEG 1, 2, 2.5; layers I to III) with its ID3 tags.
class TMPEGaudio {
public:
    struct TVBR {
        bool Found = false;
        char ID[5] = {};
        int64_t Frames = 0;
        int64_t Bytes = 0;
        uint8_t Scale = 0;
        std::string VendorID;
    };
    struct TFrame {
        bool Found = false;
        int32_t Position = 0; // in the window where it was found
        int64_t Offset = 0;   // in the file
        uint16_t Size = 0;
        bool Xing = false;
        unsigned char Data[4] = {};
        uint8_t VersionID = 1;
        uint8_t LayerID = 0;
        bool ProtectionBit = false;
        uint16_t BitRateID = 0;
        uint16_t SampleRateID = 3;
        bool PaddingBit = false, PrivateBit = false;
        uint8_t ModeID = 4;
        uint8_t ModeExtensionID = 4;
        bool CopyrightBit = false, OriginalBit = false;
        uint8_t EmphasisID = 2;
    };

    static constexpr int kWindow = 3458;
    // How far past the ID3v2 tag the first frame is looked for.
    static constexpr int64_t kSearchReach = 1 << 20;

    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);

    std::string VersionName() const;
    std::string LayerName() const;
    std::string ChannelModeName() const;
    std::string EmphasisName() const;
    uint32_t SampleRate() const;
    uint16_t BitRate() const;
    int64_t Frames() const;
    double Duration() const;
    uint8_t EncoderID() const;
    std::string EncoderName() const;

    int64_t FileLength = 0;
    std::string VendorID;
    TVBR VBR;
    TFrame Frame;
    TID3v1 ID3v1;
    TID3v2 ID3v2;

    // Frame search (frames starting at 0..last) and encoder-mark search on a
    // window, for tests. The frame's Offset is its Position.
    static bool FindFrame(const unsigned char* w, int len, TFrame& frame, TVBR& vbr,
                          int last = kWindow / 2);
    static std::string FindVendorID(const unsigned char* w, int len, int frameSize);
    static bool IsFrameHeader(const unsigned char* b);
    static uint16_t FrameLength(const TFrame& f);
    // The first bytes of an MPEG program or transport stream (a video file).
    static bool IsSystemStream(const unsigned char* b, size_t len);

private:
    bool FindFirstFrame(class TBinaryFile& f, int64_t start);
};
