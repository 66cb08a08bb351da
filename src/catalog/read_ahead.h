#pragma once

#include "media/media_steps.h"
#include "media/thumb_step.h"
#include "tags/tag_info.h"
#include "walk/folder_listing.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class THandlerClaims;
class TMemberBudget;
struct TSearchRec;

// What the handlers read of one file: its tag lines, and why a video or
// photo reader read nothing; its thumbnail, or why none was made.
struct TTagsRead : TEntryWork {
    TTagInfo Info;
    TMediaReadFailure Failure;
    TThumbnail Thumb;
    std::string ThumbWhy;
};

// Runs `readers` (reader titles, in run order) on the regular file at
// `path`, and makes its thumbnail when asked.
TTagsRead ReadTagsOf(const std::vector<const std::string*>& readers, const std::string& path,
                     bool onlyHoles, bool thumbnail = false);

// Reads the tags of a walk's files, and lists its archives, on the walk's
// reader threads, so that the scan's own thread only files them. Only what
// the scan would read itself is read; the scan reads whatever was not read
// ahead.
class TReadAhead {
public:
    // stop: set once the scan stops; a listing under way ends early.
    // thumbnails: make the thumbnails the handlers ask for too.
    TReadAhead(const THandlerClaims& claims, const std::atomic<bool>& stop, bool thumbnails);
    // For TFileSearch::AheadWork; empty when files cannot be named through
    // their folder's descriptor.
    TEntryWorkFn Work() const;
    // What Work reads of a file first, for TFileSearch::AheadSpans.
    TEntrySpansFn Spans() const;

    // Archive members held by listings ahead that the scan has not filed yet
    // (about 100 bytes each); an archive that would go beyond is listed by
    // the scan, which adds its members as it goes.
    static constexpr int64_t kMaxMembers = 262144;

private:
    std::unique_ptr<TEntryWork> Read(int folderFd, const TSearchRec& rec) const;
    const THandlerClaims& claims_;
    const std::atomic<bool>& stop_;
    const bool thumbnails_;
    std::shared_ptr<TMemberBudget> members_;
};
