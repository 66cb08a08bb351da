#include "catalog/catalog_edits.h"
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "cli/cli_context.h"
#include "cli/cli_path.h"
#include "cli/cli_progress.h"
#include "text/message_error.h"

#include <stdexcept>

void SaveCatalogQuietly(TLibObj& lib, const std::string& path) {
    TCliProgress quiet;
    quiet.Quiet = true;
    SaveToFile(lib, path, quiet);
}

// edit CATALOG PATH... [--category T] [--comments T] [--location T]
//      [--recursive [--overwrite]]
// Sets the texts of volumes, folders and files as the properties dialog does;
// --recursive pushes category and comments down to everything below.
int CmdEdit(TCliContext& ctx) {
    TPropertyEdit edit;
    std::string value;
    if (ctx.TakeOption("--category", value)) edit.Texts.Category = clipath::ArgText(value);
    if (ctx.TakeOption("--comments", value)) edit.Texts.Comments = clipath::ArgText(value);
    if (ctx.TakeOption("--location", value)) edit.Location = clipath::ArgText(value);
    edit.Recursive = ctx.TakeFlag("--recursive");
    edit.Overwrite = ctx.TakeFlag("--overwrite");
    ctx.TakeLockWait();
    auto args = ctx.Positionals(2, SIZE_MAX);
    if (edit.Overwrite && !edit.Recursive) throw EUsageError("--overwrite goes with --recursive");
    if (!edit.Texts.Category && !edit.Texts.Comments && !edit.Location && !edit.Recursive)
        throw EUsageError("nothing to change: give --category, --comments, --location or "
                          "--recursive");

    TLibObj& lib = CatalogKeptToExit();
    ctx.LockCatalogForWriting(args[0]);
    LoadCatalogForCli(lib, args[0]);
    // Every path is checked before anything changes: a wrong one saves nothing.
    std::vector<TCatalogTarget> targets;
    for (size_t i = 1; i < args.size(); ++i) {
        TCatalogTarget t = clipath::FindTarget(lib, args[i]);
        if (edit.Location && (t.Entry || !IsVolume(FolderOf(t.Node))))
            throw std::runtime_error("only a volume has a location: " + args[i]);
        targets.push_back(t);
    }
    for (const TCatalogTarget& t : targets)
        ApplyPropertyEdit(lib, t, edit);
    if (lib.Modified) SaveCatalogQuietly(lib, args[0]);
    return 0;
}

const TCommandDef& EditCommand() {
    static const TCommandDef def{
        "edit",
        "set category, comments or location",
        "Sets the texts as the properties dialog does: a folder's entry in its parent's list "
        "shows the same values as the folder. Only a volume has a location. Every path is "
        "checked before anything changes; when one is wrong, nothing is saved.",
        {{"CATALOG", "the catalog file (.txc)"},
         {"PATH",
          "a volume, folder or file as a catalog path: CD1, CD1\\music or CD1\\music\\a.mp3", false,
          true}},
        {{"--category", TOptionKind::Value, "T", "the new category", "unchanged"},
         {"--comments", TOptionKind::Value, "T", "the new comments", "unchanged"},
         {"--location", TOptionKind::Value, "T", "the new location of a volume", "unchanged"},
         {"--recursive", TOptionKind::Flag, "",
          "push category and comments down to every folder and file below, filling empty values",
          ""},
         {"--overwrite", TOptionKind::Flag, "",
          "with --recursive: overwrite the values already set below too", ""},
         kWaitOption},
        {"edit music.txc 'CD1\\music' --category Music --recursive",
         "edit music.txc CD1 --location 'Shelf 3'"},
        CmdEdit};
    return def;
}
