#pragma once

#include "search/export.h"
#include "ui/search_host.h"

class IMainHost;
class ISearchHost;
class TfrmExport;
class TfrmImport;
class TfrmSearch;
class TSearchResults;

// The main window's side of searching, exporting and importing: the search
// window and the two dialogs, made once, and the operations they start.
class TSearchCommands {
public:
    TSearchCommands(IMainHost& host, ISearchHost& searchHost);
    // The windows go first: they watch the catalog of the window that owns them.
    ~TSearchCommands();
    TSearchCommands(const TSearchCommands&) = delete;
    TSearchCommands& operator=(const TSearchCommands&) = delete;

    TfrmSearch& SearchWindow();
    TfrmExport& ExportDialog();
    TfrmImport& ImportDialog();

    void ShowSearch(TSearchStart how);
    // The export dialog for `scope`; `results` for the search-results scope.
    void Export(TExportScope scope, TSearchResults* results);
    void Import();

private:
    IMainHost& host_;
    ISearchHost& searchHost_;
    TfrmSearch* search_ = nullptr;
    TfrmExport* export_ = nullptr;
    TfrmImport* import_ = nullptr;
};
