#pragma once

#include <cstdint>
#include <string_view>

// Which of the archive library's readers a file may go to, and whether an
// ISO 9660 image is sound enough to hand over. The library sizes its read
// buffer by what a directory record claims: a small crafted image could make
// it ask for gigabytes.
namespace archiveformat {

enum TReader : unsigned {
    kSevenZip = 1,
    kTar = 2, // plain or compressed
    kIso = 4,
    kCab = 8,
};

// The readers the file's leading bytes call for, and the one its extension
// names; TAR when neither says anything.
unsigned ReadersFor(std::string_view path, int fd);

enum class TIsoCheck {
    NotIso,        // no ISO 9660 volume descriptor where one must be
    Sound,         // every directory lies inside the file
    ClaimsTooMuch, // a directory runs past the file's end or is absurdly large
};

// Walks every directory of every ISO 9660 volume descriptor (primary and
// supplementary), reading each directory once; bounded by the file's size.
TIsoCheck CheckIsoDirectories(int fd, uint64_t fileSize);

// A directory larger than this is taken for damage: a real one with tens of
// thousands of members takes a few megabytes.
inline constexpr uint64_t kMaxIsoDirectory = 64u << 20;

} // namespace archiveformat
