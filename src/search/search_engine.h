#pragma once

#include "analysis/date_time.h"
#include "catalog/lib_obj.h"
#include "search/entry_matcher.h"
#include "search/name_pattern.h"
#include "settings/progress.h"
#include "settings/progress_state.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What decides which tests combine how.
enum class TSearchMode { Normal, Anywhere, Collections };

enum TSizeSign : int { kSignEqual = 0, kSignGreater = 1, kSignLess = 2 };

// What makes two results duplicates: the same name (ignoring case), or the
// same size and content hash (the checksum handler's tag line).
enum class TDupMode { Names, Content };

// The criteria of the search window, as plain values.
struct TSearchCriteria {
    TSearchMode Mode = TSearchMode::Normal;

    std::string Name; // contained in the entry's name
    // Besides Name: the name matches this pattern (a regular expression or
    // a wildcard pattern; see TNamePattern). Not kept in saved searches.
    TNamePattern::TKind NamePatternKind = TNamePattern::TKind::None;
    std::string NamePattern;
    std::string Volume;   // contained in the volume's caption
    std::string Category; // equals the entry's (else its folder's) category
    std::string Comments; // contained in the entry's (else its folder's) comments
    std::string Type;     // contained in the lower-case extension
    std::string Location; // contained in the volume's location

    bool Date1Use = false;
    TDateTime Date1 = 0;
    bool Date2Use = false; // Date1 .. Date2, both days included
    TDateTime Date2 = 0;

    bool SizeUse = false;
    int SizeSign = kSignEqual;
    int SizeUnit = 0;      // 0 bytes, 1 KB, 2 MB
    int64_t SizeValue = 0; // 0 .. 2147483647
    std::string Anywhere;  // anywhere mode: one text for the six text tests

    std::string ColCaption; // collections mode
    std::string ColURL;
    std::string ColComments;

    bool MatchCase = false;
    bool FoldersOnly = false;
    bool Duplicates = false;
    TDupMode DupMode = TDupMode::Names;

    // Ranges over tag lines; an entry without the line never passes an active
    // range. Bounds are inclusive, an absent one leaves that side open.
    bool DurationUse = false; // "DurationSec", in seconds
    std::optional<double> DurationMin, DurationMax;
    bool TakenUse = false; // "DateTaken", by day: "YYYY-MM-DD"
    std::string TakenFrom, TakenTo;

    bool ReplaceCategory = false;
    std::string ReplaceCategoryText;
    bool ReplaceComments = false;
    std::string ReplaceCommentsText;

    // What "New Search" empties (the collection criteria and options stay).
    void ClearGeneral();
};

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

// Runs searches over the live catalog. The caller keeps the program busy for
// the whole run (so no command frees what the search walks) and asks the
// replace confirmation first; the search polls IProgress::StopRequested and
// then throws EMessageError("infoCancel"), keeping the rows found so far.
class TSearchEngine {
public:
    TSearchEngine(TLibObj& lib, IProgress& progress) : lib_(lib), progress_(progress) {}

    TCellFormat Format;
    // Threads that match entries: 0 lets the engine choose (two when the
    // machine has them and the search is big enough), 1 keeps it on the
    // calling thread. Rows are the same either way.
    unsigned Threads = 0;
    // Entries from which a second thread pays for itself.
    size_t ParallelFrom = 50000;
    // A name search lays out the names of folders that have no name block
    // yet, each matching thread those of as many entries as already have one
    // (a quarter of its entries at most), or of this many, whichever is more;
    // the next searches lay out the rest.
    size_t LayOutAtLeast = size_t{1} << 14;

    // selected: the nodes to visit (catalog tree, or collections tree in
    // collections mode) in selection order; null for the whole tree.
    void Run(const TSearchCriteria& criteria, TSearchResults& results,
             const std::vector<TTreeNode*>* selected = nullptr);

    struct TSlice;

private:
    struct TMatchedSlices;
    class TSliceMatcher;
    void SearchEntries(const TSearchCriteria& criteria, TSearchResults& results,
                       const std::vector<TTreeNode*>* selected);
    void AddRow(TSearchResults& r, std::vector<TSearchRow>& list, TSearchStats& stats,
                TLibFolderItem* e, bool resultsList);
    void FindDuplicates(TSearchResults& r);
    void FindContentDuplicates(TSearchResults& r);
    template <class TKey, class THash, class TEq, class TKeyOf>
    void GroupDuplicates(TSearchResults& r, const TKeyOf& keyOf);
    void RunCollections(const TSearchCriteria& c, TSearchResults& r,
                        const std::vector<TTreeNode*>* selected);
    void Poll(const std::string& what);

    TLibObj& lib_;
    IProgress& progress_;
    const TSearchCriteria* criteria_ = nullptr;
    bool replaced_ = false;
};

// Keeps the program busy while it lives (commands that free records need the
// idle state), restoring the previous state however the search ends.
class TBusyScope {
public:
    explicit TBusyScope(TProgressState& state) : state_(state), was_(state.Idle()) {
        state_.SetIdle(false);
    }
    ~TBusyScope() { state_.SetIdle(was_); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    TProgressState& state_;
    bool was_;
};
