#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TLibObj;
class TLibFolder;
class TLibFolderItem;
class TTreeNode;

// What a catalog path names: a volume or folder (Node), or a file of a
// folder's list (Entry, with Node its folder). Both null: nothing.
struct TCatalogTarget {
    TTreeNode* Node = nullptr;
    TLibFolderItem* Entry = nullptr;
    explicit operator bool() const { return Node != nullptr; }
};

// "CD1\music\" names the folder, "CD1\music\a.mp3" the file (a folder is found
// first, so a trailing "\" is optional for folders).
TCatalogTarget FindCatalogTarget(const TLibObj& lib, std::string_view path);

// The texts the properties dialog edits; an empty optional leaves a field as it is.
struct TTextEdit {
    std::optional<std::string> Category;
    std::optional<std::string> Comments;
};

// A folder's texts, and those of its entry in the parent's list, which shows
// the same values. True when something changed.
bool SetFolderTexts(TLibFolder* folder, const TTextEdit& edit);
// An entry's texts, and those of its folder node when it has one.
bool SetEntryTexts(TLibFolderItem* entry, const TTextEdit& edit);

// An edit of one target from outside the dialog: texts, a volume's location,
// and the push-down of category and comments to everything below (Overwrite:
// also over values already set there).
struct TPropertyEdit {
    TTextEdit Texts;
    std::optional<std::string> Location; // volumes only
    bool Recursive = false;
    bool Overwrite = false;
};

// Applies the edit and marks the catalog modified when anything changed.
// A location for a folder or file is refused (false, nothing changed), since
// only volumes have one. Returns false only for that refusal.
bool ApplyPropertyEdit(TLibObj& lib, const TCatalogTarget& target, const TPropertyEdit& edit);

// The nodes of the list that no other node of the list holds, in the list's
// order and each once: deleting those deletes the whole list.
std::vector<TTreeNode*> OutermostNodes(const std::vector<TTreeNode*>& nodes);

// What deleting these nodes takes with them: the folders below them, their
// files (an archive counts as a file) and the members of those archives. A
// node below another of the list is counted once.
struct TDeleteCounts {
    int64_t Folders = 0;
    int64_t Files = 0;
    int64_t ArchiveMembers = 0;
};
TDeleteCounts CountDeleted(const std::vector<TTreeNode*>& nodes);
