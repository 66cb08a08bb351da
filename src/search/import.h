#pragma once

#include "catalog/lib_obj.h"
#include "search/delimited_text.h"
#include "settings/progress.h"

#include <string>
#include <vector>

class ISettingsStore;

// The import dialog's choices; kept in the settings under "frmImport".
class TTreeNode;

struct TImportOptions {
    static constexpr const char* kKey = "frmImport";
    // The field names in the dialog's design order. "Type" and "FilePath" are
    // there so that files exported with them can be read (their text is not used).
    static const std::vector<std::string>& FieldNames();

    TImportOptions();

    std::string FileName;
    std::vector<TFieldItem> Fields;
    std::string Separator = "Comma";
    std::string Qualifier = "\"";
    int SizeUnit = 0; // stored only: sizes carry their unit word when not in bytes

    // Not stored: the unit words sizes may end with.
    std::string KBText = "KB";
    std::string MBText = "MB";
    // Not stored: set to the last volume the import made, also when it fails part-way.
    TTreeNode** LastVolume = nullptr;

    // "Volume", "Path" and "Name" are always ticked.
    void ForceRequired();
    void Load(const ISettingsStore& store);
    void Save(ISettingsStore& store) const;
};

// One line of the file.
struct TImportObj {
    std::string Volume;
    std::string Path; // below the volume: no leading "\", a trailing "\" unless empty
    std::string Name;
    std::string Serial;
    std::string Location;
    std::string Category;
    std::string Comments;
    TDateTime Date = 0;
    int64_t Size = 0;
    bool HasCategory = false, HasComments = false, HasLocation = false;
    size_t LineNo = 0;
    std::string Key() const { return Volume + "\\" + Path + Name; }
};

// What the text gave: objects sorted by volume, path and name, and the
// number of records that were refused (each logged as "msgsImpErr").
struct TImportParse {
    std::vector<TImportObj> Objects;
    int64_t Records = 0; // records that are not blank
    int64_t Errors = 0;
};

// Parses the file's text. A record is refused when its quoting is broken,
// its fields are more or fewer than the columns, its Volume or Name is
// empty, a field holds a NUL byte, a Size or Date field does not wholly read
// as one, or it repeats an earlier record's key. Names are taken as they
// stand (a leading "\" too). Throws "errNotDelimited" (logging
// nothing else) when more records are refused than read.
TImportParse ParseImportText(std::string_view text, const TImportOptions& o, IProgress& progress);

struct TImportResult {
    int64_t Entries = 0;
    int64_t Volumes = 0;
    int64_t Errors = 0; // records refused and objects that failed
};

// Reads the file and builds volumes, folders and entries through the scan
// operations, without touching any other file. Each change of the Volume text
// makes a new volume, and everything of that text goes below it. Throws
// (after logging "msgsImportFailed" and ending the progress) when the file
// cannot be read ("errIsFolder", "errRead"), is refused as not delimited
// text (the catalog unchanged) or the run was stopped (what was imported stays).
TImportResult RunImport(TLibObj& lib, const TImportOptions& o, IProgress& progress);
