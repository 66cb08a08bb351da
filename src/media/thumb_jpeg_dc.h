#pragma once

#include "media/thumb_image.h"

#include <cstddef>
#include <cstdint>

class TCpuBudget;

enum class EEighthResult {
    Done,
    Unsupported, // a kind of JPEG it leaves to the general decoder
    Damaged,     // the data breaks off or does not decode: the general decoder shows what it can
    TooSlow,     // the budget ran out
};

// A Huffman-coded 8-bit JPEG (greyscale, YCbCr or RGB, sampling factors 1 or
// 2) decoded at an eighth of its size, as the general decoder gives it at that
// scale: each 8x8 block is one pixel from its DC coefficient, so the other
// coefficients are walked over, never decoded; chroma sampled at half in both
// directions gets the reduced 2x2 inverse DCT instead. Of a progressive file
// only the DC scans are read (not with such chroma, which needs the AC scans).
// Nothing else is read: arithmetic coding, 12-bit samples, four components,
// other sampling factors. What it holds stays within maxBytes.
EEighthResult DecodeJpegEighth(const uint8_t* data, size_t size, size_t maxBytes,
                               const TCpuBudget& budget, TRgbImage& out);
