#pragma once

#include "catalog/lib_obj.h"
#include "search/delimited_text.h"
#include "search/search_engine.h"
#include "settings/progress.h"

#include <string>
#include <vector>

class ISettingsStore;

enum class TExportScope : int { Library = 0, Selection = 1, Results = 2 };

// The export dialog's choices; kept in the settings under "frmExport".
struct TExportOptions {
    static constexpr const char* kKey = "frmExport";
    static constexpr const char* kDefaultExtension = "TXT";
    static constexpr const char* kFilter = "All Files (*.*)|*.*";
    // The field names in the dialog's design order.
    static const std::vector<std::string>& FieldNames();

    TExportOptions();

    std::string FileName;
    std::vector<TFieldItem> Fields;  // the field order list
    std::string Separator = "Comma"; // the drop-down's text (see ResolveSeparator)
    std::string Qualifier = "\"";    // the drop-down's text (trimmed when used)
    int SizeUnit = 0;                // 0 bytes, 1 KB, 2 MB
    bool LevelsUse = false;
    int Levels = 1;            // 1 .. 999
    bool Archives = false;     // "Archives contents"
    bool Folders = false;      // "Export Folders as line"
    bool FoldersOnly = false;  // only with Folders
    bool FolderTotals = false; // only with Folders
    bool Indent = false;

    // Not stored: the "New Line" setting and the unit words.
    std::string NewLine = ";";
    std::string KBText = "KB";
    std::string MBText = "MB";

    void Load(const ISettingsStore& store);
    void Save(ISettingsStore& store) const;
};

// The dialog caption's message key for a scope.
const char* ExportCaptionKey(TExportScope scope);

// Builds the line of one entry ("" when the filters skip it). Exposed for tests.
std::string ExportLine(const TExportOptions& o, const TLibFolderItem* e);

// Writes the file through the safe writer (a failed export leaves the old
// file). Logs "msgsExported" or "msgsExportFailed" and rethrows failures.
// Refuses the open catalog file as the target ("errSameFile"), and choices
// whose text could not be read back: an empty separator ("errSepEmpty"), a
// separator and qualifier that overlap ("errSepQualifier"), no qualifier
// with a separator that occurs in sizes or dates ("errSepInValues"). selected: the nodes of scope
// Selection; results: the rows of scope Results (in their current order).
void RunExport(const TLibObj& lib, const TExportOptions& o, TExportScope scope,
               const std::vector<TTreeNode*>& selected, TSearchResults* results,
               IProgress& progress);
