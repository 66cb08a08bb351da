#pragma once

#include "media/cpu_budget_scale.h"

#include <cstdint>
#include <string>

// A video file's container header as libavformat reads it: length, picture,
// codecs, bit rate and the container's own title, artist, date and comment.
// Nothing is decoded; the probe reads a bounded number of bytes and gives up
// after a time budget, so a damaged or endless file cannot hold the scan.
class TVideoFile {
public:
    // Bytes libavformat may read while probing, and the time it may take.
    static constexpr int64_t kProbeBytes = 2 << 20;
    static constexpr int kBudgetMs = 3000;
    // What one file may cost at most, however its header is made: bytes read
    // (a long recording's header tables are tens of megabytes), processor
    // time, and the largest single allocation of the library.
    static constexpr int64_t kReadBudget = 48 << 20;
    static constexpr int kCpuBudgetMs = 45 * kCpuBudgetScale;
    static constexpr size_t kMaxAlloc = 64 << 20;

    // onlyZeros: the caller knows every byte reads as zero (the size is all
    // holes); then the file is opened only if its name may be a still picture.
    // readBudget: the bytes the library may read (kReadBudget); cpuBudgetMs:
    // its processor time (a test that compares two answers gives more, so
    // that a busy machine does not cut one of them).
    bool ReadFromFile(const std::string& path, int budgetMs = kBudgetMs, bool onlyZeros = false,
                      int64_t readBudget = kReadBudget, int cpuBudgetMs = kCpuBudgetMs);

    bool Valid = false;  // the container was recognised and opened
    std::string Error;   // why not, for the log
    double Duration = 0; // seconds
    // Why the values may be incomplete (the budget ran out), for the log.
    std::string Incomplete;
    int32_t Width = 0; // of the first video stream, as shown (turned by Rotation)
    int32_t Height = 0;
    int32_t Rotation = 0;   // clockwise turn to show it upright: 0, 90, 180, 270
    double FrameRate = 0;   // frames per second, three decimals
    std::string VideoCodec; // libavcodec's short names ("h264")
    std::string AudioCodec; // of the first audio stream
    int32_t Channels = 0;
    int32_t SampleRate = 0; // Hz
    int64_t BitRate = 0;    // kbit/s, of the whole container
    // Date: the container's date tag, else when it was recorded, in UTC
    // ("2024-05-17T14:03:09Z").
    std::string Title, Artist, Date, Comment;
};
