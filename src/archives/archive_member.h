#pragma once

#include "files/search_rec.h"
#include "text/date_time.h"

#include <cstdint>
#include <string>

// The largest member size a reader accepts: what a file system can hold
// (a file's size is a signed 64-bit number). Larger claims are damage.
inline constexpr uint64_t kMaxMemberSize = INT64_MAX;

// One member of an archive as the ZIP and RAR readers report it.
struct TArchiveMember {
    // The whole path inside the archive with "/" between folders
    // ("docs/readme.txt"), valid UTF-8; the catalog entry's caption.
    std::string FileName;
    int64_t Size = 0;        // uncompressed size
    int64_t PackedSize = 0;  // stored size; 0 when the reader cannot tell
    TDateTime Date = 0;      // local time as stored, no shift; 0 when unknown
    uint32_t Attributes = 0; // fa* bits: faDirectory for folder members, faReadOnly, faHidden
    bool Encrypted = false;

    // Folder members are listed but add no catalog entry.
    bool IsFolder() const { return (Attributes & faDirectory) != 0; }

    // MS-DOS date (high 16 bits) and time (low 16 bits) as a TDateTime; 0
    // when the value is not a valid date.
    static TDateTime DosToDateTime(uint32_t dosDateTime);
};
