#pragma once

#include "text/date_time.h"

#include <cstdint>
#include <string>

// Attribute bits of a directory-entry record (the values stored catalogs and
// other platforms use).
constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04; // sockets, FIFOs and devices on Linux
constexpr uint32_t faVolumeID = 0x08;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;
constexpr uint32_t faSymLink = 0x400; // a symbolic link, recorded and never followed

// One file-system entry as the walker reports it.
struct TSearchRec {
    // The name as text for display and the catalog (always valid UTF-8).
    std::string Name;
    // The bytes on disk when they differ from Name (then Name is their
    // caption, see name_text.h); empty when they equal Name.
    std::string NativeName;
    uint32_t Attr = 0;
    int64_t Size = 0;   // for a link: the size of the link itself
    TDateTime Time = 0; // last write, no time-zone shift; 0 when unknown
    uint32_t Mode = 0;  // st_mode (type and permission bits); 0 when unknown
    // errno when the entry's details could not be read (it is known by name,
    // and by kind when the folder listing says); 0 otherwise.
    int Error = 0;
    // A regular file the reader may read whose size no block backs: every
    // byte reads as zero, so readers can answer without opening it. Set only
    // where the file system is known to count a file's blocks truly.
    bool OnlyHoles = false;

    // The name to open the entry by.
    const std::string& RealName() const { return NativeName.empty() ? Name : NativeName; }
    bool IsDirectory() const { return (Attr & faDirectory) != 0; }
};
