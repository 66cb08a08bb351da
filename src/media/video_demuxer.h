#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;
struct AVStream;
struct TVideoSource;

// A video container opened through our own reads, within a budget of bytes,
// wall time and processor time: a damaged or endless file cannot hold the
// caller. Owns what libavformat was given, in the order it must be released.
class TVideoDemuxer {
public:
    TVideoDemuxer();
    ~TVideoDemuxer();
    TVideoDemuxer(const TVideoDemuxer&) = delete;
    TVideoDemuxer& operator=(const TVideoDemuxer&) = delete;

    // An error text, or empty when the container was opened. onlyZeros: the
    // caller knows every byte reads as zero.
    std::string Open(const std::string& path, int budgetMs, bool onlyZeros, int64_t readBudget,
                     int cpuBudgetMs);
    // Which budget ran out while reading (what was found may be incomplete), or null.
    const char* Cut() const;
    // Whether a budget ran out now.
    bool Spent();
    AVFormatContext* Context() const { return ic_; }
    int64_t FileSize() const;

private:
    std::unique_ptr<TVideoSource> src_;
    struct AVIOContext* io_ = nullptr;
    AVFormatContext* ic_ = nullptr;
};

// Sets the library's quiet log and its allocation limit, once per process.
void SetUpVideoLibraries();
// Processor time this thread has used, in nanoseconds.
int64_t ThreadCpuNs();
// The clockwise turn that shows the stream's picture upright, from its
// display matrix: 0, 90, 180 or 270.
int32_t DisplayRotation(const AVStream* st);
// libavutil's text for an error code.
std::string AvErrorText(int rc);
