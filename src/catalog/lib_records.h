#pragma once

#include "analysis/compact_string.h"
#include "analysis/date_time.h"
#include "catalog/tree.h"
#include "tags/tag_info.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TLibFolder;

// One entry of a folder: a file, a subfolder or an archive, or an archive member.
// Texts are TCompactString (use .str() or .view()); catalogs hold millions of these.
class TLibFolderItem {
public:
    TCompactString Caption;
    TDateTime Date = 0;
    int64_t Size = 0;
    TCompactString Category;
    TCompactString Comments;
    TTreeNode* CollectionNode = nullptr; // a collections-tree node linking to this entry
    TLibFolder* Owner = nullptr;
    TTagInfo TagInfo;
    int32_t DupCount = 0; // search only, never saved
    uint8_t IsFolder = 0; // 1: has (or had) a folder node of its own
    uint8_t Seen = 0;     // set when a scan meets the entry
};

// The record of one catalog-tree node: a volume (Kind 0) or a folder or archive folder (Kind 1).
class TLibFolder : public TTreeRecord {
public:
    TLibFolder() = default;
    // Caption from a path: one trailing "\" or "/" dropped, then the text after
    // the last "\" or "/"; a drive such as "D:" gives an empty caption.
    static std::unique_ptr<TLibFolder> FromPath(std::string_view path);
    ~TLibFolder() override;

    std::string Caption;
    std::string Serial;
    TDateTime Date = 0;
    std::string Category;
    std::string Comments;
    int32_t Kind = 0;
    std::string Location;
    int32_t ItemCount = 0; // only while loading
    std::string SourcePath;
    TLibFolder* Parent = nullptr;
    TTreeNode* Node = nullptr;
    int64_t DirectSize = 0;
    bool PendingDelete = false;
    int32_t Level = 0;
    TTreeNode* CollectionNode = nullptr;
    int32_t AbsoluteIndex = -1;

    // The entries, sorted by Caption (CompareText, exact bytes breaking ties).
    const std::vector<std::unique_ptr<TLibFolderItem>>& Items() const { return items_; }
    int ItemsCount() const { return static_cast<int>(items_.size()); }
    TLibFolderItem* Item(int i) const { return items_[static_cast<size_t>(i)].get(); }
    // Entry whose Caption equals `caption` exactly; null when there is none.
    TLibFolderItem* FindItem(std::string_view caption) const;
    int IndexOfItem(std::string_view caption) const; // exact; -1 when absent
    // True when `caption` sorts after every entry (a sorted scan's new entry).
    bool SortsAfterLast(std::string_view caption) const;
    // Adds the entry in its sorted place and sets its Owner. When an entry with
    // the same exact Caption exists, nothing is added and null is returned
    // (the caller keeps ownership through the returned-null contract: the item is destroyed).
    TLibFolderItem* AddItem(std::unique_ptr<TLibFolderItem> item);
    // Removes an entry from the list and hands it back (no size bookkeeping).
    std::unique_ptr<TLibFolderItem> TakeItem(TLibFolderItem* item);
    void ClearItems() { items_.clear(); }
    // Removes (and destroys) every entry for which `pred` is true, in one pass.
    template <typename Pred> void RemoveItems(Pred pred) {
        std::erase_if(items_,
                      [&](const std::unique_ptr<TLibFolderItem>& e) { return pred(e.get()); });
    }

private:
    std::vector<std::unique_ptr<TLibFolderItem>> items_;
};

// The record of one collections-tree node: a link or a memo item.
class TLibColItem : public TTreeRecord {
public:
    enum : int32_t {
        kMemo = -1,
        kVolumeLink = 0,
        kFolderLink = 1,
        kFileLink = 2,
        kArchiveLink = 3
    };

    explicit TLibColItem(std::string caption = {}) : Caption(std::move(caption)) {}

    TLibFolder* LinkedFolder = nullptr;
    TLibFolderItem* LinkedItem = nullptr;
    int32_t Kind = kMemo;
    std::string LinkPath;
    std::string MemoText;
    std::string URL;
    std::string Caption;
    TTreeNode* Node = nullptr;
    int32_t Level = 0;
    int32_t ImageIndex = -1;
    int32_t FolderIndex = -1;
};

inline TLibFolder* FolderOf(const TTreeNode* node) {
    return node ? static_cast<TLibFolder*>(node->Data()) : nullptr;
}
inline TLibColItem* ColItemOf(const TTreeNode* node) {
    return node ? static_cast<TLibColItem*>(node->Data()) : nullptr;
}

// Paths ("\" separators in catalog and display paths; source paths are native).
std::string GetCatalogPath(const TLibFolder* folder);
std::string GetSourcePath(const TLibFolder* folder);
std::string GetDisplayPath(const TLibFolder* folder);
std::string GetEntryCatalogPath(const TLibFolderItem* entry);
std::string GetEntrySourcePath(const TLibFolderItem* entry);
std::string GetEntryType(const TLibFolderItem* entry); // lower-case extension without the dot
bool IsVolume(const TLibFolder* folder);
bool IsArchiveFolder(const TLibFolder* folder);
bool IsArchiveEntry(const TLibFolderItem* entry);
TLibFolder* GetVolume(TLibFolder* folder);
TTreeNode* EntryNode(const TLibFolderItem* entry);
TLibFolder* EntryFolder(const TLibFolderItem* entry);
TLibFolder* EntryVolume(const TLibFolderItem* entry);
TTreeNode* RootNode(TTreeNode* node);
TTreeNode* FindNodeByText(const TTree& tree, std::string_view text);
// Pre-order search from `start` (itself first) for a record whose source or catalog path is `path`.
TTreeNode* FindNodeByPath(TTreeNode* start, std::string_view path);
// Lines joined with `newLine` (the "New Line" setting, ";" by default).
std::string OneLineText(std::string_view text, std::string_view newLine = ";");

// Sizes.
int64_t DirectItemsSize(const TLibFolder* folder);
int64_t FolderDisplaySize(const TLibFolder* folder);

// Images of the views.
void SetFolderImages(TTreeNode* node);  // catalog tree
void SetColItemImages(TTreeNode* node); // collections tree
