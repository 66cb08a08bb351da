#pragma once

#include <string>

// A thumbnail as stored: a JPEG at most 256 pixels on its long side.
struct TThumbnail {
    std::string Data;
    int Width = 0;
    int Height = 0;

    bool Empty() const { return Data.empty(); }
};

inline constexpr int kThumbnailSide = 256;

// Makes the thumbnail of the photo or video at path through the thumbnail
// module, loaded the first time. False with why (for the log) when none was
// made: the file is damaged, too large, too slow, or the module is missing
// (noModule set then). Never throws.
bool MakeThumbnail(const std::string& path, TThumbnail& out, std::string& why,
                   bool* noModule = nullptr);
// Whether the module is loaded (or known missing); when not, it starts
// loading on a thread of its own, so that a reader ahead need not wait.
bool ThumbnailerLoaded();
