#pragma once

#include <cstdint>
#include <string>

// What libheif reads of a HEIF or AVIF picture that Exiv2 does not: the
// primary image's size as it is shown (after its crop and turn) and its Exif
// block, given as the TIFF structure that follows the block's offset field
// (empty when it has none). False when libheif cannot read the file or is not
// installed.
struct THeifDetails {
    int64_t Width = 0;
    int64_t Height = 0;
    std::string Tiff;
};
bool ReadHeifDetails(const std::string& path, THeifDetails& out);
