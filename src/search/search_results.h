#pragma once

#include "catalog/lib_obj.h"
#include "settings/progress_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The eleven columns of a result row.
enum TSearchColumn : int {
    kColName = 0,
    kColType,
    kColVolume,
    kColPath,
    kColSize,
    kColDate,
    kColCategory,
    kColComments,
    kColDuplicates,
    kColFullName,
    kColLocation,
    kSearchColumnCount
};
// Column headers ("Name", "Type", ..., "Full filename", "Location").
extern const std::array<const char*, kSearchColumnCount> kSearchColumnNames;

struct TSearchRow {
    TLibFolderItem* Entry = nullptr;
    int32_t Duplicates = -1; // the "Duplicates" cell; -1 while empty
    int32_t ImageIndex = 0;  // 1 archive, 0 folder, else the file-type picture
    // Duplicates by content: the row's group (1, 2, ...; 0 elsewhere), and
    // whether it is the same file as a row before it (a hard link), not a copy.
    int32_t Group = 0;
    bool Link = false;
};

// Counts of one result list.
struct TSearchStats {
    const TLibFolder* LastVolume = nullptr;
    int32_t Volumes = 0; // changes of volume between consecutive rows
    int32_t Folders = 0;
    int32_t Files = 0;
    int32_t Collections = 0;
    int64_t Size = 0;
    int32_t Results() const { return Folders + Files; }
    // Sizes from a damaged or made-up catalog may be anything: the total
    // stops at the ends of its range instead of wrapping to a wrong number.
    void AddSize(int64_t size) {
        if (__builtin_add_overflow(Size, size, &Size)) Size = size > 0 ? INT64_MAX : INT64_MIN;
    }
};

// Sort direction per column (1 or 2), shared by the lists; 2 at the start.
struct TSortState {
    std::array<int, kSearchColumnCount> Direction;
    TSortState() { Direction.fill(2); }
};

// How cells are written: the "Sizes" unit and words, the "New Line" joiner
// and the file-type picture of a name.
struct TCellFormat {
    int SizeUnit = 0;
    std::string KBText = "KB";
    std::string MBText = "MB";
    std::string NewLine = ";";
    std::function<int(const std::string& fileName)> FileImageIndex;
};

// What a result row or collection row points to in the catalog.
struct TLocateResult {
    TTreeNode* Node = nullptr;           // tree node to select
    TLibFolderItem* Entry = nullptr;     // entry to select in that node's list (files)
    TTreeNode* CollectionNode = nullptr; // collection rows
};

// The rows of the last search. They point at live entries; once the catalog's
// generation changes (deleting, closing, reloading), the set empties itself
// and every lookup gives nothing, so no row is used after its entry is freed.
class TSearchResults {
public:
    explicit TSearchResults(const TLibObj& lib) : lib_(&lib) {}

    std::vector<TSearchRow> Rows;           // results list
    std::vector<TSearchRow> DupRows;        // duplicates list
    std::vector<TTreeNode*> CollectionRows; // collections-tree nodes
    TSearchStats Stats;
    TSearchStats DupStats;
    bool ShowDuplicates = false; // the duplicates list is the visible one
    // Files left out of a search for duplicates by content because they have
    // no checksum; -1 for every other search.
    int64_t Unhashed = -1;
    // Empty files left out of a search for duplicates by content (all empty
    // files are alike and none wastes space); -1 for every other search.
    int64_t Empty = -1;

    // False (and the set emptied) when the catalog changed since the search.
    bool Valid();
    void Clear();
    unsigned Generation() const { return generation_; }

    const std::vector<TSearchRow>& Visible() const { return ShowDuplicates ? DupRows : Rows; }
    std::vector<TSearchRow>& Visible() { return ShowDuplicates ? DupRows : Rows; }
    const TSearchStats& VisibleStats() const { return ShowDuplicates ? DupStats : Stats; }

    // Text of one cell; empty for a stale set or an index out of range.
    std::string CellText(const TSearchRow& row, int column, const TCellFormat& fmt) const;

    // The node and entry of a row of a list (rows, or DupRows when dup is set).
    TLocateResult Locate(bool dup, size_t row);
    TLocateResult LocateCollection(size_t row);

    // The status texts "Volumes: n", "Folders: n", "Files: n", "Collections: n",
    // "Size: s" and "Results: n" of the visible list.
    std::array<std::string, 6> StatusTexts(const TCellFormat& fmt) const;
    // "Without checksum: n" and "Empty files left out: n" after a search for
    // duplicates by content, else empty.
    std::string UnhashedText() const;
    std::string EmptyText() const;

private:
    friend class TSearchEngine;
    const TLibObj* lib_;
    unsigned generation_ = 0;
};

// Sorts a list by a column with the shared direction state, then flips it.
void SortRows(std::vector<TSearchRow>& rows, int column, TSortState& state);
