#pragma once

#include "catalog/lib_obj.h"
#include "search/entry_matcher.h"
#include "search/name_pattern.h"
#include "search/search_criteria.h"
#include "search/search_results.h"
#include "settings/progress.h"
#include "settings/progress_state.h"
#include "text/date_time.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
