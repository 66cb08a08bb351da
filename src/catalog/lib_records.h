#pragma once

#include "catalog/tree.h"
#include "memory/block_pool.h"
#include "memory/compact_string.h"
#include "tags/tag_info.h"
#include "text/date_time.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TLibFolder;
class TNameArena;

// What lies below a folder, counted the one way every total of the program
// uses: an archive is a file of its own size; what is listed inside it are
// archive members, counted apart and adding no bytes (their bytes are on the
// disc once, inside the archive).
struct TCatalogTotals {
    int64_t Files = 0;
    int64_t Folders = 0;
    int64_t Members = 0;
    int64_t Bytes = 0;
    bool operator==(const TCatalogTotals&) const = default;
};
class TNameBlock;

// One entry of a folder: a file, a subfolder or an archive, or an archive member.
// Texts are TCompactString (use .str() or .view()); catalogs hold millions of
// these, so they come from the block pool, without malloc's header.
class TLibFolderItem final {
public:
    static void* operator new(size_t size) { return blockpool::Allocate(size); }
    static void operator delete(void* p, size_t size) noexcept { blockpool::Free(p, size); }

    TCompactString Caption;
    TDateTime Date = 0;
    int64_t Size = 0;
    TCompactString Category;
    TCompactString Comments;
    TLibFolder* Owner = nullptr; // (a collections node linking here: TLibObj::EntryLink)
    TTagInfo TagInfo;
    int32_t DupCount = 0;  // search only, never saved
    uint8_t IsFolder = 0;  // 1: has (or had) a folder node of its own
    uint8_t Seen = 0;      // set when a scan meets the entry
    uint8_t IsArchive = 0; // 1: a folder entry whose node lists an archive's members
};

// The record of one catalog-tree node: a volume (Kind 0) or a folder or archive folder (Kind 1).
class TLibFolder : public TTreeRecord {
public:
    TLibFolder();
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
    int32_t ItemCount = 0; // only while loading
    std::string Location;
    std::string SourcePath;
    TLibFolder* Parent = nullptr;
    TTreeNode* Node = nullptr;
    // The volume of a folder in the catalog tree (set when it joins the tree,
    // which it never leaves for another volume), so that finding it costs no walk.
    TLibFolder* Volume = nullptr;
    int64_t ItemsSize = 0;  // this folder's own entries
    int64_t VolumeSize = 0; // a volume's entries at every level; 0 below the volume
    // Everything below this folder; set by TLibObj::Recount.
    TCatalogTotals Totals;
    bool PendingDelete = false;
    int32_t Level = 0;
    TTreeNode* CollectionNode = nullptr;
    int32_t AbsoluteIndex = -1;
    // Set by the scan that lists an archive into this node; a folder named like
    // an archive is not one, and an archive need not be named like one.
    bool IsArchive = false;

    // The entries, sorted by Caption (CompareText, exact bytes breaking ties).
    // Entries added out of order wait in an unsorted tail and are merged in
    // one pass by the first access that needs the order, or once the tail is
    // as long as the sorted part, so that adding k names to a folder of n
    // costs O(n + k log k), not O(n k). A short tail is searched entry by
    // entry, a long one through a hash index. Scans and loads end with a
    // Recount, which reads every folder, so no tail outlives the operation
    // that made it: readers on other threads only ever see sorted folders.
    const std::vector<std::unique_ptr<TLibFolderItem>>& Items() const {
        SortPending();
        return items_.Get();
    }
    int ItemsCount() const { return static_cast<int>(items_.Get().size()); }
    TLibFolderItem* Item(int i) const { return Items()[static_cast<size_t>(i)].get(); }
    // Entry whose Caption equals `caption` exactly; null when there is none.
    TLibFolderItem* FindItem(std::string_view caption) const;
    // FindItem for callers that ask in ascending order (a walk): `hint`, 0 at
    // first, moves forward, so a folder's worth of look-ups is one pass.
    TLibFolderItem* FindItemFrom(std::string_view caption, size_t& hint) const;
    int IndexOfItem(std::string_view caption) const; // exact; -1 when absent
    // True when `caption` sorts after every entry (a sorted scan's new entry).
    bool SortsAfterLast(std::string_view caption) const;
    // Adds the entry and sets its Owner. When an entry with the same exact
    // Caption exists, nothing is added and null is returned (the item is destroyed).
    // A Caption must not change while its entry is in a folder.
    TLibFolderItem* AddItem(std::unique_ptr<TLibFolderItem> item);
    // Adds many entries at once (a load): sorted in one pass, an entry whose
    // exact Caption is already there (or came earlier in `items`) is dropped.
    void AdoptItems(std::vector<std::unique_ptr<TLibFolderItem>> items);
    // Removes an entry from the list and hands it back (no size bookkeeping).
    std::unique_ptr<TLibFolderItem> TakeItem(TLibFolderItem* item);
    void ClearItems();
    // Removes (and destroys) every entry for which `pred` is true, in one pass.
    template <typename Pred> void RemoveItems(Pred pred) {
        SortPending();
        auto& items = items_.Change();
        std::erase_if(items,
                      [&](const std::unique_ptr<TLibFolderItem>& e) { return pred(e.get()); });
        sorted_ = items.size();
    }

    // The entries' names end to end (for the name search), made by the first
    // caller (in `arena` when given) and kept until the list changes. Several
    // threads may ask at once while nothing edits the folder. Null while
    // entries wait unsorted (ask Items() first) or when no block can be had.
    const TNameBlock* NameBlock(TNameArena* arena = nullptr,
                                std::span<const std::unique_ptr<TLibFolderItem>> ahead = {}) const;
    // The block if made; null when not made yet.
    const TNameBlock* NameBlockIfMade() const { return items_.Block(); }

private:
    using TItemVector = std::vector<std::unique_ptr<TLibFolderItem>>;
    // The list with the name block made from it. The list can be changed
    // only through Change(), which drops the block, so that no change of the
    // list, however it is made, leaves a stale block behind.
    class TEntryList {
    public:
        TEntryList() = default;
        TEntryList(const TEntryList&) = delete;
        TEntryList& operator=(const TEntryList&) = delete;
        ~TEntryList() { Drop(); }
        const TItemVector& Get() const { return items_; }
        TItemVector& Change() {
            Drop();
            return items_;
        }
        const TNameBlock* Block() const { return block_.load(std::memory_order_acquire); }
        // The block, made from the list when there is none yet.
        const TNameBlock* MakeBlock(TNameArena* arena,
                                    std::span<const std::unique_ptr<TLibFolderItem>> ahead);

    private:
        void Drop();

        TItemVector items_;
        std::atomic<TNameBlock*> block_{nullptr};
    };

    void SortPending() const;
    TLibFolderItem* FindPending(std::string_view caption) const;

    mutable TEntryList items_;
    // items_[0, sorted_) is in order; the rest is the unsorted tail.
    mutable size_t sorted_ = 0;
    // The tail's greatest entry; null when there is no tail.
    mutable TLibFolderItem* tailGreatest_ = nullptr;
    // The tail's entries by Caption, once the tail is too long to search in turn.
    struct TTailIndex;
    mutable std::unique_ptr<TTailIndex> tailIndex_;
};

// Size sums saturate: a crafted catalog or archive may claim sizes near 2^63.
int64_t AddSizes(int64_t a, int64_t b);
int64_t SubtractSize(int64_t total, int64_t size); // never below zero

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
bool IsArchiveFolder(const TLibFolder* folder); // by the scan's mark, not by the name
bool IsArchiveEntry(const TLibFolderItem* entry);
// Catalogs written before the mark existed: an archive is a folder named like one.
bool LooksLikeArchive(std::string_view caption);
// Marks a folder node and its entry in the parent's list as an archive's member list (or not).
void SetArchiveMark(TTreeNode* node, bool archive);
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
// The folder's own entries: each subfolder as one folder, nothing below it.
TCatalogTotals OwnEntryTotals(const TLibFolder* folder);
// Adds what lies in `child` (`below`: its totals) to its parent's `totals`:
// as archive members when the child lists an archive.
void AddChildTotals(TCatalogTotals& totals, const TLibFolder* child, const TCatalogTotals& below);
int64_t FolderDisplaySize(const TLibFolder* folder);

// Images of the views.
void SetFolderImages(TTreeNode* node);  // catalog tree
void SetColItemImages(TTreeNode* node); // collections tree
