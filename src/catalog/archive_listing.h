#pragma once

#include "archives/archive_member.h"
#include "handlers/handler_claims.h"
#include "walk/folder_listing.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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

// Members held by archives listed ahead and not yet filed, all archives
// together: a folder of large archives must not be read into memory whole.
class TMemberBudget {
public:
    explicit TMemberBudget(int64_t members) : left_(members) {}
    bool Take() {
        if (left_.fetch_sub(1, std::memory_order_relaxed) > 0) return true;
        left_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    void Give(int64_t members) { left_.fetch_add(members, std::memory_order_relaxed); }

private:
    std::atomic<int64_t> left_;
};

// An archive listed on a walk's reader thread, for the scan to file in its
// own order: what ListArchive gave, kept whole.
struct TArchiveRead : TEntryWork {
    explicit TArchiveRead(std::shared_ptr<TMemberBudget> budget) : budget_(std::move(budget)) {}
    ~TArchiveRead() override;
    TArchiveRead(const TArchiveRead&) = delete;
    TArchiveRead& operator=(const TArchiveRead&) = delete;

    std::string Path;  // the path it was listed by
    bool Plain = true; // a regular file when looked at, not reached through a link
    std::vector<TArchiveMember> Members;
    std::vector<TArchiveNote> Notes;
    // Cut short (stopped, or more members than the budget had left): the
    // scan lists it again itself.
    bool Partial = false;

private:
    friend std::unique_ptr<TArchiveRead> ListArchiveAhead(const std::string&, TArchiveKind,
                                                          const std::function<bool()>&,
                                                          std::shared_ptr<TMemberBudget>);
    std::shared_ptr<TMemberBudget> budget_;
};

// Lists one archive ahead, keeping its members against `budget`.
std::unique_ptr<TArchiveRead> ListArchiveAhead(const std::string& path, TArchiveKind kind,
                                               const std::function<bool()>& stop,
                                               std::shared_ptr<TMemberBudget> budget);
