#pragma once

#include "catalog/lib_obj.h"
#include "search/search_engine.h"
#include "search/stream_search.h"
#include "settings/progress.h"

#include <array>
#include <string>
#include <vector>

// What a search prints, cell by cell and the counts line: from the loaded
// tree and from the search streamed from the file, to compare the two.
struct TSearchOutcome {
    std::vector<std::vector<std::string>> Rows;
    std::array<std::string, 6> Status;
};

// A column to sort by (none when negative) the way the command asks for it:
// once ascending, then again for descending.
struct TSearchSort {
    int Column = -1;
    bool Descending = false;
};

inline TSearchOutcome TreeOutcome(TLibObj& lib, const TSearchCriteria& c, const TCellFormat& fmt,
                                  TSearchSort sort = {}) {
    TNullProgress quiet;
    TSearchEngine engine(lib, quiet);
    engine.Format = fmt;
    TSearchResults results(lib);
    engine.Run(c, results);
    TSortState state;
    for (int times = sort.Descending ? 2 : 1; sort.Column >= 0 && times > 0; --times)
        SortRows(results.Rows, sort.Column, state);
    TSearchOutcome o;
    for (const auto& row : results.Rows) {
        std::vector<std::string> cells;
        for (int col = 0; col < kSearchColumnCount; ++col)
            cells.push_back(results.CellText(row, col, fmt));
        o.Rows.push_back(std::move(cells));
    }
    o.Status = results.StatusTexts(fmt);
    return o;
}

// False when the stream gave up (out is then left as it was).
inline bool StreamOutcome(const std::string& path, const TSearchCriteria& c, const TCellFormat& fmt,
                          TSearchOutcome& out, TSearchSort sort = {}) {
    TStreamSearch search(c);
    std::vector<TStreamRow> rows;
    if (!search.Run(path, [&](const TStreamHit& hit) { rows.emplace_back(hit); })) return false;
    if (sort.Column >= 0) SortStreamRows(rows, sort.Column, sort.Descending);
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        for (int col = 0; col < kSearchColumnCount; ++col)
            cells.push_back(StreamCellText(row.View(), col, fmt));
        out.Rows.push_back(std::move(cells));
    }
    TLibObj none;
    TSearchResults counts(none);
    counts.Stats = search.Stats();
    out.Status = counts.StatusTexts(fmt);
    return true;
}
