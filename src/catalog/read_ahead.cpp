#include "catalog/read_ahead.h"

#include "catalog/archive_listing.h"
#include "files/search_rec.h"
#include "handlers/handler_claims.h"
#include "handlers/handlers.h"

TTagsRead ReadTagsOf(const std::vector<const std::string*>& readers, const std::string& path,
                     bool onlyHoles, bool thumbnail) {
    TTagsRead got;
    // A file of holes only has no picture to show.
    if (thumbnail && !onlyHoles && !MakeThumbnail(path, got.Thumb, got.ThumbWhy)) got.Thumb = {};
    if (readers.empty()) return got;
    TakeMediaReadFailure();
    THandlerList::RunReaders(readers, path, got.Info, onlyHoles);
    got.Failure = TakeMediaReadFailure();
    return got;
}

TReadAhead::TReadAhead(const THandlerClaims& claims, const std::atomic<bool>& stop, bool thumbnails)
    : claims_(claims), stop_(stop), thumbnails_(thumbnails),
      members_(std::make_shared<TMemberBudget>(kMaxMembers)) {}

TEntryWorkFn TReadAhead::Work() const {
    // Readers take paths: without /proc a file of a folder read ahead has none.
    if (PathInFolder(0, std::string()).empty()) return {};
    return [this](int folderFd, const TSearchRec& rec) { return Read(folderFd, rec); };
}

TEntrySpansFn TReadAhead::Spans() const {
    // Tag readers and archive listers start at the head and look at the end
    // (trailing tags, the ZIP and 7z directories); a container that keeps its
    // index further in is read there as it is met.
    constexpr int64_t kHead = 64 * 1024, kTail = 64 * 1024;
    return [this](const TSearchRec& rec) -> TReadSpans {
        const THandlerClaims::TClaim& claim = claims_.Of(rec.Name);
        // A checksum reads the whole file, and moves the bar as it goes.
        if (claim.Checksum) return {};
        if (claim.Archive != TArchiveKind::None) return {kHead, kTail};
        const auto& readers =
            rec.NativeName.empty() ? claim.Readers : claims_.Of(rec.NativeName).Readers;
        if (readers.empty()) return {};
        return {kHead, kTail};
    };
}

std::unique_ptr<TEntryWork> TReadAhead::Read(int folderFd, const TSearchRec& rec) const {
    // Links are never followed and FIFOs never read.
    if ((rec.Attr & (faSysFile | faSymLink)) != 0) return nullptr;
    const THandlerClaims::TClaim& claim = claims_.Of(rec.Name);
    if (claim.Archive != TArchiveKind::None) {
        // A checksum moves the scan's bar by the bytes read: the scan reads those.
        if (claim.Checksum) return nullptr;
        return ListArchiveAhead(
            PathInFolder(folderFd, rec.RealName()), claim.Archive,
            [this] { return stop_.load(std::memory_order_relaxed); }, members_);
    }
    // Readers go by the name on the disk, as they do for the scan itself.
    const auto& readers =
        rec.NativeName.empty() ? claim.Readers : claims_.Of(rec.NativeName).Readers;
    const bool thumb = claim.Thumbnail && thumbnails_;
    if (readers.empty() && !thumb) return nullptr;
    // A reader ahead never waits for a module to load: the scan reads this
    // file itself, and the module loads meanwhile.
    const std::string& name = rec.NativeName.empty() ? rec.Name : rec.NativeName;
    for (const std::string* title : readers)
        if (!MediaReaderLoaded(*title, name, rec.OnlyHoles)) return nullptr;
    if (thumb && !ThumbnailerLoaded()) return nullptr;
    return std::make_unique<TTagsRead>(
        ReadTagsOf(readers, PathInFolder(folderFd, rec.RealName()), rec.OnlyHoles, thumb));
}
