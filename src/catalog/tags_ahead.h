#pragma once

#include "analysis/folder_listing.h"
#include "media/media_steps.h"
#include "tags/tag_info.h"

#include <memory>
#include <string>
#include <vector>

class THandlerClaims;
struct TSearchRec;

// What the handlers read of one file: its tag lines, and why a video or
// photo reader read nothing.
struct TTagsRead : TEntryWork {
    TTagInfo Info;
    TMediaReadFailure Failure;
};

// Runs `readers` (reader titles, in run order) on the regular file at `path`.
TTagsRead ReadTagsOf(const std::vector<const std::string*>& readers, const std::string& path,
                     bool onlyHoles);

// Reads the tags of a walk's files on its reader threads, so that the
// scan's own thread only files them. Only the files the scan would read
// itself are read; the scan reads whatever was not read ahead.
class TTagsAhead {
public:
    explicit TTagsAhead(const THandlerClaims& claims) : claims_(claims) {}
    // For TFileSearch::AheadWork; empty when files cannot be named through
    // their folder's descriptor.
    TEntryWorkFn Work() const;

private:
    std::unique_ptr<TEntryWork> Read(int folderFd, const TSearchRec& rec) const;
    const THandlerClaims& claims_;
};
