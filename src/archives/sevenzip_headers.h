#pragma once

#include "archives/archive_member.h"

#include <cstdint>
#include <functional>
#include <string>

// Reads the member list of a 7z archive from its headers alone: names, sizes,
// dates and kinds. Nothing is unpacked but the (usually LZMA-compressed)
// header, so members whose data is encrypted list like any other; only an
// archive whose header itself is encrypted cannot be listed. Every count and
// size is checked against the bytes that hold it before it is used.
namespace sevenzip {

enum class TOutcome {
    Listed,          // every member was handed over, or the sink asked to stop
    HeaderEncrypted, // the member list itself needs a password
    NotRead,         // not an archive this reader handles; nothing was handed over
};

struct TListing {
    TOutcome Outcome = TOutcome::NotRead;
    std::string Why; // for NotRead: what stopped the reader
};

// Gets each member in archive order, its name as stored (UTF-8); false stops.
using TMemberSink = std::function<bool(TArchiveMember& member)>;

// Lists the 7z archive open as `fd` (`fileSize` bytes). Members are handed
// over only once the whole header has been read and checked.
TListing ListMembers(int fd, uint64_t fileSize, const TMemberSink& onMember);

} // namespace sevenzip
