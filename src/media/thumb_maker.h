#pragma once

#include "media/cpu_budget_scale.h"
#include "media/thumb_image.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What one thumbnail may cost, and how it is made.
struct TThumbLimits {
    int MaxSide = 256;                      // pixels on the long side
    int Quality = 80;                       // of the JPEG stored
    int PhotoCpuMs = 50 * kCpuBudgetScale;  // processor time per photo
    int VideoCpuMs = 200 * kCpuBudgetScale; // per video
    size_t MaxBytes = 64 << 20;             // memory for the decoded picture
};

struct TThumbMade {
    std::string Jpeg; // empty when none was made
    int Width = 0, Height = 0;
    std::string Why; // why none was made, for the log
};

// A stop when the processor time of this thread passes a limit.
class TCpuBudget {
public:
    explicit TCpuBudget(int ms);
    bool Spent() const;

private:
    int64_t until_;
};

// The thumbnail of the photo or video at path: a photo's embedded preview
// when it is at least the thumbnail's size, else the picture decoded at
// reduced scale; a video's frame at about a tenth of its length. Turned
// upright. Never throws.
TThumbMade MakeThumbnailOf(const std::string& path, const TThumbLimits& limits = {});
// The same for a photo held in memory (no video).
TThumbMade MakePhotoThumbnail(const uint8_t* data, size_t size, const TThumbLimits& limits = {});

// The decoders, each giving the picture reduced to fit within the limits'
// side, as stored (not yet turned upright). An empty text on success.
std::string DecodeJpegThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            const TCpuBudget& budget, TRgbImage& out);
std::string DecodePngThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                           const TCpuBudget& budget, TRgbImage& out);
std::string DecodeWebpThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            TRgbImage& out);
std::string DecodeTiffThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            TRgbImage& out);
// HEIF and AVIF, turned upright by the library as the file says.
std::string DecodeHeifThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            TRgbImage& out);
// The frame of a video, turned upright.
std::string DecodeVideoThumb(const std::string& path, const TThumbLimits& limits, TRgbImage& out);
// The width and height a JPEG's header gives; false when it is no JPEG.
bool JpegSize(const uint8_t* data, size_t size, int& width, int& height);
