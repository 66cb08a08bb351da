#include "catalog/catalog_thumbs.h"

#include "settings/message_table.h"
#include "text/name_text.h"

#include <cstdio>
#include <sys/stat.h>
#include <vector>

std::string ThumbVolumeOf(const TLibFolderItem* entry) {
    if (!entry || !entry->Owner) return {};
    return GetVolume(entry->Owner)->Caption;
}

TLibFolderItem* FindEntryByCatalogPath(const TLibObj& lib, const std::string& path) {
    const size_t cut = path.rfind('\\');
    if (cut == std::string::npos || cut + 1 >= path.size()) return nullptr;
    TTreeNode* node = FindFolderByCatalogPath(lib, std::string_view(path).substr(0, cut + 1));
    if (!node) return nullptr;
    return FolderOf(node)->FindItem(
        nametext::PathPartToCaption(std::string_view(path).substr(cut + 1)));
}

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Fresh(const TLibFolderItem* e, const std::string& volume, int64_t size, double date) {
    return e && !e->IsFolder && e->Size == size && e->Date == date && ThumbVolumeOf(e) == volume;
}

void Log(IProgress& progress, const char* key, const std::string& side, const std::string& why) {
    progress.LogMessage(GetMessageText(key, side + ": " + why));
}

} // namespace

void SaveThumbnails(TLibObj& lib, const std::string& oldPath, const std::string& path,
                    IProgress& progress) {
    const std::string side = TThumbStore::PathFor(path);
    std::string why;
    if (!oldPath.empty() && oldPath != path) {
        // Save As: the pictures go along; a file saved over another keeps none of the other's.
        const std::string oldSide = TThumbStore::PathFor(oldPath);
        if (IsRegularFile(oldSide)) {
            if (!CopyThumbStore(oldSide, side, why)) Log(progress, "msgsThumbsNotSaved", side, why);
        } else {
            RemoveThumbStore(side);
        }
    }
    if (lib.PendingThumbs.empty() && !IsRegularFile(side)) {
        lib.VolumeRenames.clear(); // no pictures to move
        return;
    }
    TThumbStore store;
    if (!store.OpenWrite(side, why)) {
        TThumbStore probe;
        std::string unused;
        // A damaged database is put aside, so that the catalog gets pictures again.
        if (IsRegularFile(side) && !probe.OpenRead(side, unused)) {
            const std::string aside = side + ".damaged";
            if (std::rename(side.c_str(), aside.c_str()) == 0) {
                Log(progress, "msgsThumbsPutAside", side, why);
                if (store.OpenWrite(side, why)) why.clear();
            }
        }
        if (!why.empty()) {
            Log(progress, "msgsThumbsNotSaved", side, why);
            return;
        }
    }
    if (!store.Begin()) {
        Log(progress, "msgsThumbsNotSaved", side, store.Error());
        return;
    }
    bool ok = true;
    // Renamed volumes take their pictures along before anything is judged gone.
    for (const TVolumeRename& r : lib.VolumeRenames)
        ok = ok && store.RenameVolume(r.OldCaption, r.NewCaption, r.OldPath, r.NewPath);
    for (const auto& [catalogPath, p] : lib.PendingThumbs)
        if (Fresh(FindEntryByCatalogPath(lib, catalogPath), p.Volume, p.Size, p.Date))
            ok = ok && store.Put(p.Volume, catalogPath, p.Size, p.Date, p.Thumb);
    // Thumbnails whose entries were deleted, or changed by an update, go.
    std::vector<std::pair<std::string, std::string>> gone;
    store.ForEach(
        [&](const std::string& volume, const std::string& key, int64_t size, double date) {
            if (!Fresh(FindEntryByCatalogPath(lib, key), volume, size, date))
                gone.emplace_back(volume, key);
        });
    for (const auto& [volume, key] : gone)
        ok = ok && store.Remove(volume, key);
    if (!ok || !store.Commit()) {
        Log(progress, "msgsThumbsNotSaved", side, store.Error());
        store.Rollback();
        return;
    }
    lib.PendingThumbs.clear();
    lib.VolumeRenames.clear();
}

void CheckThumbnails(const TLibObj& lib, IProgress& progress) {
    if (lib.FileName.empty()) return;
    const std::string side = TThumbStore::PathFor(lib.FileName);
    TThumbStore store;
    std::string why;
    if (!store.OpenRead(side, why) && !why.empty())
        Log(progress, "msgsThumbsUnreadable", side, why);
}

TThumbStore* TCatalogThumbs::Store() {
    if (lib_.FileName != openFor_) Reset();
    if (!tried_) {
        tried_ = true;
        openFor_ = lib_.FileName;
        if (!openFor_.empty()) store_.OpenRead(TThumbStore::PathFor(openFor_), problem_);
    }
    return store_.IsOpen() ? &store_ : nullptr;
}

void TCatalogThumbs::Reset() {
    store_.Close();
    tried_ = false;
    problem_.clear();
    openFor_.clear();
}

const TPendingThumb* TCatalogThumbs::Pending(const TLibFolderItem* entry,
                                             const std::string& key) const {
    auto it = lib_.PendingThumbs.find(key);
    if (it == lib_.PendingThumbs.end()) return nullptr;
    const TPendingThumb& p = it->second;
    return Fresh(entry, p.Volume, p.Size, p.Date) ? &p : nullptr;
}

// The key the sidecar holds an entry under until the next save: the names
// its volume had before the renames since the last save, undone newest first.
std::pair<std::string, std::string> TCatalogThumbs::StoredKey(const TLibFolderItem* entry,
                                                              const std::string& key) const {
    std::pair<std::string, std::string> k{ThumbVolumeOf(entry), key};
    for (auto r = lib_.VolumeRenames.rbegin(); r != lib_.VolumeRenames.rend(); ++r)
        if (r->Holds(k.first, k.second, true)) r->Move(k.first, k.second, true);
    return k;
}

bool TCatalogThumbs::Find(const TLibFolderItem* entry, TThumbnail& out) {
    if (!entry || entry->IsFolder) return false;
    const std::string key = GetEntryCatalogPath(entry);
    if (const TPendingThumb* p = Pending(entry, key)) {
        out = p->Thumb;
        return true;
    }
    TThumbStore* store = Store();
    if (!store) return false;
    const auto [volume, path] = StoredKey(entry, key);
    return store->Find(volume, path, entry->Size, entry->Date, out);
}

bool TCatalogThumbs::Has(const TLibFolderItem* entry) {
    if (!entry || entry->IsFolder) return false;
    const std::string key = GetEntryCatalogPath(entry);
    if (Pending(entry, key)) return true;
    TThumbStore* store = Store();
    if (!store) return false;
    const auto [volume, path] = StoredKey(entry, key);
    return store->Has(volume, path, entry->Size, entry->Date);
}
