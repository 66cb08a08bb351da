#pragma once

#include "catalog/lib_obj.h"
#include "media/thumb_step.h"
#include "settings/progress.h"
#include "thumbs/thumb_store.h"

#include <string>
#include <utility>

// The catalog's thumbnails: those its sidecar database holds and those the
// scans since the last save made. Only a thumbnail made of the entry at its
// present size and date is ever given.

// Where an entry's thumbnail is keyed: its volume's caption and its catalog path.
std::string ThumbVolumeOf(const TLibFolderItem* entry);
// The entry at a catalog path ("CD1\a\b.jpg"), or null.
TLibFolderItem* FindEntryByCatalogPath(const TLibObj& lib, const std::string& path);

// After the catalog was written to `path`, from `oldPath` (where it was
// loaded or last saved; empty for a new catalog): a Save As copies the old
// sidecar first; then the thumbnails made since are added, and those whose
// entries are gone or changed are deleted, in one transaction. Failures are
// logged; the catalog's save stands.
void SaveThumbnails(TLibObj& lib, const std::string& oldPath, const std::string& path,
                    IProgress& progress);
// After a load: a sidecar that cannot be read is named in the log (the
// catalog opens without pictures).
void CheckThumbnails(const TLibObj& lib, IProgress& progress);

// Reads the thumbnails of the open catalog for the views, opening its
// sidecar when first asked and again when the catalog's file changes.
class TCatalogThumbs {
public:
    explicit TCatalogThumbs(const TLibObj& lib) : lib_(lib) {}
    bool Find(const TLibFolderItem* entry, TThumbnail& out);
    bool Has(const TLibFolderItem* entry);
    // Forget the open sidecar (after a save or a load).
    void Reset();
    // Why the sidecar could not be read; empty when it could or there is none.
    const std::string& Problem() const { return problem_; }

private:
    TThumbStore* Store();
    std::pair<std::string, std::string> StoredKey(const TLibFolderItem* entry,
                                                  const std::string& key) const;
    // The thumbnail a scan made of the entry at key since the last save, if it is of the entry as
    // it is.
    const TPendingThumb* Pending(const TLibFolderItem* entry, const std::string& key) const;

    const TLibObj& lib_;
    TThumbStore store_;
    std::string openFor_;
    bool tried_ = false;
    std::string problem_;
};
