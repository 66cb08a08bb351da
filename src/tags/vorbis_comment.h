#pragma once

#include "tags/byte_source.h"

#include <cstdint>
#include <string>

// A Vorbis comment block, as Vorbis, Opus and FLAC store their tags: a vendor
// text and NAME=value items in UTF-8. Items are read at most 250 bytes each;
// longer ones (pictures) are skipped. A repeated field's values are joined
// with " / "; DESCRIPTION stands in for a missing COMMENT.
class TVorbisComment {
public:
    // Reads the block from src (positioned at the vendor length); a read
    // failure ends it quietly with what was read so far.
    void Read(IByteSource& src);

    bool Found = false; // the vendor text was read
    std::string Vendor, Title, Artist, Album, Date, Genre, Comment;
    int32_t Track = 0;
};
