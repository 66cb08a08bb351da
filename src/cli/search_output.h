#pragma once

#include "cli/cli_context.h"
#include "cli/cli_json.h"
#include "cli/cli_path.h"
#include "search/search_results.h"

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

struct TSearchCriteria;
struct TCellFormat;

// The keys of --json rows, and the column names --sort takes, by column.
extern const char* const kSearchColumnKeys[kSearchColumnCount];

// How rows are written: --json, --null, --count, --limit, --no-summary. Rows
// gather in Text and go out in one piece: a search may print a great many.
struct TSearchOutput {
    bool Json = false;
    char End = '\n'; // after each row; NUL with --null
    bool CountOnly = false;
    bool Summary = true;
    size_t Limit = SIZE_MAX;
    size_t Rows = 0; // rows taken, at most Limit
    std::string Text;
    // The catalog the rows come from: a JSON field always, a last text
    // column when several catalogs are searched.
    std::string Catalog;
    bool CatalogColumn = false;

    // Ends a row: the catalog's column, then the row's end.
    void EndRow() {
        if (CatalogColumn) {
            Text += '\t';
            Text += CliField(Catalog);
        }
        Text += End;
    }
    void EndRow(TJson& j) {
        j["catalog"] = clipath::DisplayText(Catalog);
        Text += JsonLineText(j);
        Text += End;
    }
    // Writes the rows so far: a search may find most of a large catalog.
    void Flush(size_t atLeast = 0) {
        if (Text.size() < atLeast || Text.empty()) return;
        std::cout.write(Text.data(), static_cast<std::streamsize>(Text.size()));
        Text.clear();
    }

    // Counts the next row; whether it is to be written.
    bool Take() {
        if (Rows >= Limit) return false;
        ++Rows;
        return !CountOnly;
    }
    // Writes the rows (or their number) to stdout and the counts line to
    // stderr. The exit code: 1 when nothing matched, as grep's.
    int Finish(const std::string& counts) {
        if (CountOnly) Text = std::to_string(Rows) + "\n";
        std::cout.write(Text.data(), static_cast<std::streamsize>(Text.size()));
        Text.clear();
        if (Summary && !Json && !CountOnly && !counts.empty()) {
            std::cout.flush();
            std::cerr << counts;
        }
        return Rows == 0 ? 1 : 0;
    }
};

// The counts line after the rows of a search of a loaded catalog.
std::string StatusText(const TSearchResults& results, const TCellFormat& format);
// The counts line of rows streamed, or of several catalogs together.
std::string StatsText(const TSearchStats& stats, const TCellFormat& format);
// The search streamed from the file, sorted by `sortColumn` unless it is
// negative; false (and nothing of it kept) when the file needs the full load.
bool StreamSearchInto(TSearchOutput& out, TSearchStats& stats, const std::string& path,
                      const TSearchCriteria& c, const TCellFormat& format, int sortColumn,
                      bool descending);
// The rows of a search of the loaded tree, in the results' order.
void PrintFound(TSearchOutput& out, TSearchResults& results, const TSearchCriteria& c,
                const TCellFormat& format);
// Searches the catalogs in the order given and writes their rows, then the
// counts of all of them; the exit status.
int SearchCatalogs(const std::vector<std::string>& catalogs, const TSearchCriteria& c,
                   const TCellFormat& format, TSearchOutput& out);
