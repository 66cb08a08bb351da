#pragma once

#include "analysis/archive_member.h"

#include <functional>
#include <string>

// Lists the members of the archive kinds the program has no reader of its
// own for: 7z, TAR (plain or compressed with gzip, bzip2, xz or zstd), ISO
// 9660 images and CAB, through the archive library. Only headers are read;
// compressed TAR streams are decompressed to reach them, nothing is written.
class TArchiveLister {
public:
    using TMemberEvent = std::function<void(const TArchiveMember& member)>;

    // Lists `path`, handing each member to OnMember in archive order. A file
    // that cannot be read or is damaged raises EMessageError("msgsArcErr",
    // "<path>: <what went wrong>") after the members found so far; one whose
    // headers are encrypted raises it with "password-protected".
    void List(const std::string& path);

    TMemberEvent OnMember;
    // Asked between members: true ends the listing quietly (a compressed TAR
    // must be unpacked to reach its next header, which takes long on big ones).
    std::function<bool()> StopRequested;
};
