#pragma once

#include "archives/archive_member.h"

#include <functional>
#include <string>

// Lists the members of 7z archives (through our own header reader, the
// archive library when that cannot read one), TAR (plain or compressed with
// gzip, bzip2, xz or zstd), ISO 9660 images and CAB (through the library).
// Only headers are read; compressed TAR streams are decompressed to reach
// them, nothing is written.
class TArchiveLister {
public:
    using TMemberEvent = std::function<void(const TArchiveMember& member)>;

    // A line for the scan's log: a message key and the text for its "%s".
    using TLogEvent = std::function<void(const std::string& key, const std::string& arg)>;

    // Lists `path`, handing each member to OnMember in archive order. A file
    // that cannot be read or is damaged raises EMessageError("msgsArcErr",
    // "<path>: <what went wrong>") after the members found so far; one whose
    // headers are encrypted raises it with "password-protected". Members whose
    // contents are encrypted are listed all the same, and OnLog gets
    // "msgsArcErr" ("<path>: contents are password-protected") once.
    void List(const std::string& path);

    TMemberEvent OnMember;
    TLogEvent OnLog;
    // Asked between members: true ends the listing quietly (a compressed TAR
    // must be unpacked to reach its next header, which takes long on big ones).
    std::function<bool()> StopRequested;
};
