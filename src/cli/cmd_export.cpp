#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_files.h"
#include "cli/cli_path.h"
#include "cli/cli_progress.h"
#include "search/export.h"
#include "search/saved_search.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/string_list.h"

#include <iostream>

namespace {

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= text.size()) {
        size_t j = text.find(',', i);
        if (j == std::string::npos) j = text.size();
        if (j > i) out.push_back(text.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

} // namespace

std::vector<TOptionDef> DelimitedOptions(const char* fieldsHelp) {
    return {{"--fields", TOptionKind::Value, "A,B,...", fieldsHelp, "Volume,Path,Name,Size,Date"},
            {"--separator", TOptionKind::Value, "S",
             "comma, tab, newline, or the separator text itself", "comma"},
            {"--qualifier", TOptionKind::Value, "Q", "text qualifier around each field", "\""}};
}

// The options export and import share: --fields, --separator, --qualifier.
void TakeDelimitedOptions(TCliContext& ctx, std::vector<TFieldItem>& fields, std::string& separator,
                          std::string& qualifier) {
    std::string value;
    if (ctx.TakeOption("--fields", value)) {
        auto names = SplitNames(value);
        if (names.empty()) throw EUsageError("--fields needs field names");
        SetFieldOrder(fields, names);
    }
    if (ctx.TakeOption("--separator", value)) {
        if (SameText(value, "comma"))
            separator = kSeparatorItems[0];
        else if (SameText(value, "tab"))
            separator = kSeparatorItems[1];
        else if (SameText(value, "newline"))
            separator = kSeparatorItems[2];
        else
            separator = value;
    }
    ctx.TakeOption("--qualifier", qualifier);
}

int CmdExport(TCliContext& ctx) {
    TExportOptions o; // the documented defaults, never the window's last choices
    TakeDelimitedOptions(ctx, o.Fields, o.Separator, o.Qualifier);
    std::vector<std::string> scope = ctx.TakeOptionAll("--scope");
    std::string value, searchFile;
    bool fromSearch = ctx.TakeOption("--search", searchFile);
    if (ctx.TakeOption("--unit", value)) {
        if (SameText(value, "bytes"))
            o.SizeUnit = 0;
        else if (SameText(value, "KB"))
            o.SizeUnit = 1;
        else if (SameText(value, "MB"))
            o.SizeUnit = 2;
        else
            throw EUsageError("--unit takes bytes, KB or MB");
    }
    ctx.TakeSwitch("--folders", o.Folders);
    ctx.TakeSwitch("--only-folders", o.FoldersOnly);
    ctx.TakeSwitch("--totals", o.FolderTotals);
    // Only folders and totals act on folder lines, so they ask for them.
    if (o.FoldersOnly || o.FolderTotals) o.Folders = true;
    if (ctx.TakeOption("--level", value)) {
        try {
            size_t used = 0;
            int n = std::stoi(value, &used);
            if (used != value.size() || n < 1 || n > 999) throw std::out_of_range("level");
            o.LevelsUse = true;
            o.Levels = n;
        } catch (const std::exception&) {
            throw EUsageError("--level needs a number from 1 to 999");
        }
    }
    ctx.TakeSwitch("--indent", o.Indent);
    ctx.TakeSwitch("--archives", o.Archives);
    auto args = ctx.Positionals(2, 2);
    o.FileName = args[1];
    RefuseOutputOverInput(o.FileName, {args[0], searchFile});
    o.NewLine = ctx.Settings().ReadString("Defaults", "New Line", ";");
    o.KBText = GetMessageText("infoStrKB");
    o.MBText = GetMessageText("infoStrMB");

    TLibObj& lib = CatalogKeptToExit();
    LoadCatalogForCli(lib, args[0]);
    lib.FileName = args[0];
    TCliProgress progress;
    progress.Quiet = true;

    TExportScope kind = TExportScope::Library;
    std::vector<TTreeNode*> selected;
    for (const auto& s : scope) {
        if (SameText(s, "library")) continue;
        selected.push_back(clipath::FindFolder(lib, s));
        kind = TExportScope::Selection;
    }
    TSearchResults results(lib);
    if (fromSearch) {
        if (kind == TExportScope::Selection)
            throw EUsageError("--search and --scope with paths do not go together");
        TSearchCriteria c;
        LoadSearch(searchFile, c);
        TSearchEngine(lib, progress).Run(c, results);
        kind = TExportScope::Results;
    }
    RunExport(lib, o, kind, selected, &results, progress);
    return 0;
}

const TCommandDef& ExportCommand() {
    static const TCommandDef def = [] {
        TCommandDef d{
            "export",
            "write delimited text",
            "Writes the catalog, some of its folders or the results of a saved search as "
            "delimited text, one line per entry, without a header line. The desktop window's "
            "last choices do not apply: every option starts from its default.",
            {{"CATALOG", "the catalog file (.txc)"},
             {"OUTFILE", "the text file to write; - (or /dev/stdout) for standard output"}},
            DelimitedOptions("columns in order; also VolumeSerialNo, Category, Comments, "
                             "Location, Type, FilePath"),
            {"export music.txc music.csv --fields Volume,Path,Name,Size --scope 'CD1\\music'",
             "export music.txc found.txt --search rock.txs --separator tab",
             "export music.txc - --fields Name,Size --separator tab | sort"},
            CmdExport};
        d.Options.insert(
            d.Options.end(),
            {{"--unit", TOptionKind::Value, "U", "sizes in bytes, KB or MB", "bytes"},
             {"--scope", TOptionKind::Repeated, "PATH", "a volume or folder (CD1\\music)",
              "the whole catalog"},
             {"--search", TOptionKind::Value, "FILE.TXS", "the results of a saved search", ""},
             {"--level", TOptionKind::Value, "N", "entries down to folder level N (1 to 999)",
              "every level"},
             {"--folders", TOptionKind::Switch, "", "a line for each folder too", ""},
             {"--only-folders", TOptionKind::Switch, "", "folder lines only", ""},
             {"--totals", TOptionKind::Switch, "", "folder lines give total sizes", ""},
             {"--indent", TOptionKind::Switch, "", "indent entries by their depth", ""},
             {"--archives", TOptionKind::Switch, "",
              "archive members without the archives' own lines", ""}});
        return d;
    }();
    return def;
}
