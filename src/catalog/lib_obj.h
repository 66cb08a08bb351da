#pragma once

#include "catalog/file_identity.h"
#include "catalog/lib_records.h"
#include "catalog/tree.h"
#include "media/thumb_step.h"
#include "text/string_list.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TStringList;

// The settings the catalog obeys; the global data fills them in.
struct TCatalogOptions {
    bool Sort = true;             // "Sort": re-sort the root level after loads and adds
    bool AddToGlobalsLocs = true; // "Add2Globals Locs"
    bool AddToGlobalsCats = true; // "Add2Globals Cats"
    TStringList* GlobalLocations = nullptr;
    TStringList* GlobalCategories = nullptr;
    bool ConfirmSaveChanges = true; // "Confirm Save changes"
    std::string NewLine = ";";      // joins comment lines shown in one line
};

// A thumbnail a scan made that the catalog's sidecar does not hold yet: it
// is written there with the catalog's next save, if its entry is still there
// with this size and date.
struct TPendingThumb {
    std::string Volume; // the volume's caption
    int64_t Size = 0;
    double Date = 0;
    TThumbnail Thumb;
};

// A volume's caption and catalog path before and after a rename.
struct TVolumeRename {
    std::string OldCaption, NewCaption;
    std::string OldPath, NewPath;

    // Whether a thumbnail's key (its volume's caption and its catalog path)
    // lies in the volume before the rename, or after it when backwards.
    bool Holds(std::string_view volume, std::string_view path, bool backwards = false) const {
        return volume == (backwards ? NewCaption : OldCaption) &&
               path.starts_with(backwards ? NewPath : OldPath);
    }
    // Moves a key that Holds across the rename: old to new, or new to old.
    void Move(std::string& volume, std::string& path, bool backwards = false) const {
        volume = backwards ? OldCaption : NewCaption;
        path.replace(0, (backwards ? NewPath : OldPath).size(), backwards ? OldPath : NewPath);
    }
};

inline constexpr const char* kCurrentVersion = "Tamblix 2.3";
inline constexpr const char* kOldVersion = "Tamblix 2.2";

// The open catalog: the catalog tree, the collections tree and the document fields.
class TLibObj {
public:
    TLibObj();
    ~TLibObj();
    TLibObj(const TLibObj&) = delete;
    TLibObj& operator=(const TLibObj&) = delete;

    std::string Version = kCurrentVersion;
    std::string FileName;
    // The file FileName named when it was loaded or saved, to notice another
    // program's save before this one overwrites it.
    TFileIdentity DiskIdentity;
    std::string Comments;
    std::string Category;
    TStringList Categories{true, TDuplicates::Ignore};
    TStringList Locations{true, TDuplicates::Ignore};
    bool Modified = false;
    TTree Tree;    // catalog tree: TLibFolder records
    TTree ColTree; // collections tree: TLibColItem records

    int32_t FolderRecordCount = 0;
    int32_t VolumeCount = 0;
    int32_t FolderCount = 0;
    int32_t FileCount = 0;
    int64_t TotalSize = 0;
    // Every volume's totals; what the program shows (the four counts above
    // keep the stored format's way: an archive as a folder of its members).
    TCatalogTotals Totals;
    int32_t CategoryRecordCount = 0;
    int32_t CollectionRecordCount = 0;
    bool CountsValid = false;

    TCatalogOptions Options;

    // Thumbnails made since the last save, by the entry's catalog path.
    std::unordered_map<std::string, TPendingThumb> PendingThumbs;
    // Volumes renamed since the last save, in order: the sidecar still keys
    // their thumbnails by the old name until the next save moves them.
    std::vector<TVolumeRename> VolumeRenames;

    // Building the tree. Nodes take their sorted place; records get Node, Parent, Kind.
    TTreeNode* AddVolumeNode(std::unique_ptr<TLibFolder> folder);
    TTreeNode* AddFolderNode(TTreeNode* parent, std::unique_ptr<TLibFolder> folder);
    // Adds an entry to a folder with the size bookkeeping. Returns null (and
    // destroys the entry) when the folder already holds that exact Caption.
    TLibFolderItem* AddEntry(TLibFolder* folder, std::unique_ptr<TLibFolderItem> entry);
    // Changes an entry's size keeping the totals right.
    void SetEntrySize(TLibFolderItem* entry, int64_t size);

    void Recount();
    void PropagateCategoryComments(TLibFolder* folder, bool overwrite);
    // Sets Level and AbsoluteIndex; call in pre-order (the parent's Level must be set).
    static void NumberFolder(TLibFolder* folder);

    // Deletes catalog-tree nodes with their subtrees (the tree's Delete command).
    // Both recount unless told not to (a caller deleting in many folders recounts once).
    void DeleteNodes(const std::vector<TTreeNode*>& nodes, bool recount = true);
    // Deletes entries of one folder (the list's Delete command).
    void DeleteEntries(TLibFolder* folder, const std::vector<TLibFolderItem*>& entries,
                       bool recount = true);
    // Deletes collections-tree nodes with their subtrees.
    void DeleteColNodes(const std::vector<TTreeNode*>& nodes);
    // Empties both trees and the document (New, Close, Reload).
    void Clear();

    // Collections. New plain collection / memo item under `parent` (null: root).
    TTreeNode* AddCollection(TTreeNode* parent, const std::string& caption);
    // Links a catalog node or a list entry (folder = the folder shown in the list)
    // under `parent`; returns the new collections node.
    TTreeNode* LinkFolder(TTreeNode* parent, TLibFolder* folder);
    TTreeNode* LinkEntry(TTreeNode* parent, TLibFolder* listFolder, TLibFolderItem* entry);
    // Re-links a loaded collection record to the folder its FolderIndex named
    // (found by the loader among the folders of the same load), and for file
    // links to the entry of that folder whose catalog path is LinkPath.
    void Relink(TLibColItem* item, TLibFolder* folder);
    // Renames a collections node (sets Caption, Modified).
    void RenameColNode(TTreeNode* node, const std::string& text);
    // Moves a collections node; refused onto itself or below itself.
    bool MoveColNode(TTreeNode* node, TTreeNode* newParent);
    // Renames a volume; folders cannot be renamed.
    bool RenameVolume(TTreeNode* node, const std::string& text);

    // The collections node linking to an entry (a file link), or null. Kept
    // here, not in the entry: few entries are linked, and there are millions.
    TTreeNode* EntryLink(const TLibFolderItem* entry) const {
        if (entryLinks_.empty()) return nullptr;
        auto it = entryLinks_.find(entry);
        return it == entryLinks_.end() ? nullptr : it->second;
    }

    // Called whenever records are about to be freed; views and search rows drop
    // what they hold. Bumped on deletions, Clear and loads.
    unsigned Generation() const { return generation_; }
    void BumpGeneration() { ++generation_; }

private:
    void OnCatalogRelease(TTreeNode* node);
    void OnColRelease(TTreeNode* node);
    void ReleaseEntry(TLibFolderItem* entry);
    void ForgetLink(TTreeNode* colNode);
    void DeleteLinksTo(const std::vector<TLibFolder*>& folders,
                       const std::vector<TLibFolderItem*>& entries);
    void FinishDeletion(const std::vector<TTreeNode*>& nodes, bool recount);
    void SetEntryLink(const TLibFolderItem* entry, TTreeNode* colNode);
    // The folders of a subtree and its linked entries.
    void CollectSubtree(TTreeNode* node, std::vector<TLibFolder*>& folders,
                        std::vector<TLibFolderItem*>& linked) const;

    std::unordered_map<const TLibFolderItem*, TTreeNode*> entryLinks_;

    unsigned generation_ = 0;
    bool clearing_ = false;
};

// The folder node whose catalog path is `path` ("CD1\music\", the trailing "\"
// optional), walking the tree by name; null when there is none.
TTreeNode* FindFolderByCatalogPath(const TLibObj& lib, std::string_view path);
