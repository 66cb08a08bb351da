#pragma once

#include "search/search_engine.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One found entry while a streamed search runs. The views stay valid only
// during the call that hands it over.
struct TStreamHit {
    std::string_view Caption, Category, Comments;
    TDateTime Date = 0;
    int64_t Size = 0;
    bool IsFolder = false;
    std::string_view VolumeCaption, VolumeLocation;
    std::string_view FolderPath; // the owning folder's catalog path, "CD1\music\"
};

// A found entry kept beyond the call that handed it over (for sorting).
struct TStreamRow {
    explicit TStreamRow(const TStreamHit& hit);
    TStreamHit View() const;

    std::string Caption, Category, Comments, VolumeCaption, VolumeLocation, FolderPath;
    TDateTime Date = 0;
    int64_t Size = 0;
    bool IsFolder = false;
};

// Sorts kept rows by a column as SortRows sorts the engine's rows for the
// same column and direction (stable: equal keys keep the catalog order).
void SortStreamRows(std::vector<TStreamRow>& rows, int column, bool descending);

// The text of a result cell, as TSearchResults::CellText writes it for the
// same entry (the "Duplicates" cell is empty: a streamed search finds none).
std::string StreamCellText(const TStreamHit& hit, int column, const TCellFormat& fmt);

// Whether a search can be streamed at all: plain or anywhere criteria over
// the whole catalog, nothing to replace, no duplicates.
bool CanStreamSearch(const TSearchCriteria& criteria);

// A search straight from the catalog file, record by record, without building
// the catalog tree: for a command that prints the rows and forgets them.
//
// It gives the rows, their order and the counts that loading the file and
// running TSearchEngine gives, or it gives up: Run returns false when the
// file is not one it can reproduce exactly (not in the catalog's own order,
// repeated names, a damaged or unknown file, links to entries, tag text in a
// form the load would rewrite). Rows handed over before it gives up are void:
// the caller buffers them until Run returns true, and otherwise loads the
// file and searches the tree.
class TStreamSearch {
public:
    using TOnHit = std::function<void(const TStreamHit&)>;

    explicit TStreamSearch(const TSearchCriteria& criteria) : criteria_(criteria) {}

    bool Run(const std::string& path, const TOnHit& onHit);

    // The counts of the last successful run (LastVolume stays null).
    const TSearchStats& Stats() const { return stats_; }

private:
    TSearchCriteria criteria_;
    TSearchStats stats_;
};
