#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What a thumbnail needs of a picture's TIFF structure (an Exif block, a
// TIFF file or a camera's raw file built on TIFF): how to turn it upright
// and where its embedded JPEG previews lie. Every offset is checked against
// the bytes given; a damaged structure gives what could be read.
struct TTiffFacts {
    int Orientation = 0; // the Exif code, 1 to 8; 0 when none
    struct TSpan {
        size_t Offset = 0; // from the start of the bytes given
        size_t Length = 0;
    };
    std::vector<TSpan> Previews; // JPEG streams, in the order found
};

// data[base..base+size) holds a TIFF header and what it points to; offsets in
// the structure count from base. Raw variants with their own magic numbers
// (0x4F52, 0x5352, 0x0055) are read as TIFF.
TTiffFacts ReadTiffFacts(const uint8_t* data, size_t size);

// The TIFF block of a JPEG's Exif segment: where it starts in the file and
// how long it is; false when the JPEG has none before its picture data.
bool FindJpegExif(const uint8_t* data, size_t size, size_t& start, size_t& length);
