#pragma once

#include "analysis/archive_member.h"
#include "analysis/folder_listing.h"
#include "analysis/handler_claims.h"

#include <functional>
#include <string>
#include <vector>

// One line for the scan's log met while listing an archive.
struct TArchiveNote {
    std::string Key;
    // A path as the listing was given it (shown as the archive's own name),
    // or, with AfterName, the text that follows the archive's shown name.
    std::string Arg;
    bool AfterName = false;
    bool Error = false; // counts as one of the scan's errors

    // The argument as the user is shown it: `given` is the path the listing
    // was given, `shown` the archive's path in the volume.
    std::string ShownArg(const std::string& given, const std::string& shown) const;
};

// Where a listing goes, in the order the archive holds its members.
struct TArchiveSink {
    std::function<void(const TArchiveMember&)> OnMember;
    std::function<void(TArchiveNote&&)> OnNote;
    // Asked between members: true ends the listing there.
    std::function<bool()> Stop;
};

// Lists the archive at `path` (a regular file) as `kind` reads it. Damage and
// unreadable files become notes; it never throws for them.
void ListArchive(const std::string& path, TArchiveKind kind, const TArchiveSink& sink);

// An archive listed on a walk's reader thread, for the scan to file in its
// own order: what ListArchive gave, kept whole.
struct TArchiveRead : TEntryWork {
    std::string Path;  // the path it was listed by
    bool Plain = true; // a regular file when looked at, not reached through a link
    std::vector<TArchiveMember> Members;
    std::vector<TArchiveNote> Notes;
    // Cut short (stopped, or too many members to keep): the scan lists it again.
    bool Partial = false;
};

// Lists one archive ahead; at most `maxMembers` are kept.
TArchiveRead ListArchiveAhead(const std::string& path, TArchiveKind kind,
                              const std::function<bool()>& stop, size_t maxMembers);
