#pragma once

#include "tags/ape_tag.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <cstdint>
#include <string>

// The tags around an audio stream: ID3v2 in front, an APE tag and ID3v1 at the
// end. Readers of such files derive from it and merge what was found.
class TFileTags {
public:
    // Reads each of the three; false when the file could not be read for one of them.
    bool ReadTags(const std::string& path);
    bool AnyTagExists() const { return ID3v1.Exists || ID3v2.Exists || APEtag.Exists; }
    // The bytes the tags take from the file, which the stream does not have.
    int64_t TagBytes() const {
        return ID3v2.Size + (ID3v1.Exists ? 128 : 0) + (APEtag.Exists ? APEtag.Size : 0);
    }

    TID3v1 ID3v1;
    TID3v2 ID3v2;
    TAPEtag APEtag;
};
