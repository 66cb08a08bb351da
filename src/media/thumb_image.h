#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture as 8-bit RGB, rows top to bottom.
struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // Width * Height * 3 bytes

    bool Empty() const { return Width <= 0 || Height <= 0; }
};

// The size of a w x h picture fitted within maxSide on its long side, the
// aspect ratio kept; never larger than the picture and never zero.
void FitWithin(int64_t w, int64_t h, int maxSide, int& outW, int& outH);

// Shrinks a picture by averaging the source pixels of each target pixel,
// one source row at a time: the source never needs to be whole in memory.
class TRowReducer {
public:
    TRowReducer(int srcW, int srcH, int dstW, int dstH);
    // The next source row: srcW pixels of 3 (RGB) or 4 (RGBA, put on white) bytes.
    void AddRow(const uint8_t* row, int channels);
    int RowsAdded() const { return row_; }
    // The picture; rows never given stay white.
    TRgbImage Take();

private:
    void Flush();

    int srcW_, srcH_, dstW_, dstH_;
    int row_ = 0;
    int accRow_ = 0;
    std::vector<int> column_;      // target column of each source column
    std::vector<uint32_t> across_; // source columns per target column
    std::vector<uint32_t> sums_;   // of the target row being gathered
    uint32_t rowsIn_ = 0;
    TRgbImage out_;
};

// The whole picture shrunk to dstW x dstH.
TRgbImage Reduce(const uint8_t* rgb, int w, int h, int stride, int channels, int dstW, int dstH);

// The picture turned as the Exif orientation (1 to 8) says, so that it shows
// upright; other codes leave it as it is.
TRgbImage Orient(TRgbImage src, int orientation);
// The Exif orientation of a clockwise turn of 0, 90, 180 or 270 degrees.
int OrientationOfTurn(int clockwise);

// The picture as a baseline JPEG; empty when the encoder failed.
std::string EncodeJpeg(const TRgbImage& img, int quality);
