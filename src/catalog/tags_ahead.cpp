#include "catalog/tags_ahead.h"

#include "analysis/handler_claims.h"
#include "analysis/handlers.h"
#include "analysis/search_rec.h"

#include <unistd.h>

TTagsRead ReadTagsOf(const std::vector<const std::string*>& readers, const std::string& path,
                     bool onlyHoles) {
    TTagsRead got;
    if (readers.empty()) return got;
    TakeMediaReadFailure();
    THandlerList::RunReaders(readers, path, got.Info, onlyHoles);
    got.Failure = TakeMediaReadFailure();
    return got;
}

TEntryWorkFn TTagsAhead::Work() const {
    // Readers take paths: without /proc a file of a folder read ahead has none.
    static const bool viaDescriptor = ::access("/proc/self/fd", X_OK) == 0;
    if (!viaDescriptor) return {};
    return [this](int folderFd, const TSearchRec& rec) { return Read(folderFd, rec); };
}

std::unique_ptr<TEntryWork> TTagsAhead::Read(int folderFd, const TSearchRec& rec) const {
    // Links are never followed and FIFOs never read; archives are listed by the scan.
    if ((rec.Attr & (faSysFile | faSymLink | faDirectory)) != 0 || rec.Error != 0) return nullptr;
    const THandlerClaims::TClaim& claim = claims_.Of(rec.Name);
    if (claim.Archive != TArchiveKind::None) return nullptr;
    // Readers go by the name on the disk, as they do for the scan itself.
    const auto& readers =
        rec.NativeName.empty() ? claim.Readers : claims_.Of(rec.NativeName).Readers;
    if (readers.empty()) return nullptr;
    const std::string path = "/proc/self/fd/" + std::to_string(folderFd) + '/' + rec.RealName();
    return std::make_unique<TTagsRead>(ReadTagsOf(readers, path, rec.OnlyHoles));
}
