#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_files.h"
#include "cli/cli_progress.h"
#include "search/import.h"
#include "settings/message_table.h"

#include <iostream>

int CmdImport(TCliContext& ctx) {
    TImportOptions o; // the documented defaults, never the window's last choices
    TakeDelimitedOptions(ctx, o.Fields, o.Separator, o.Qualifier);
    o.ForceRequired();
    ctx.TakeLockWait();
    auto args = ctx.Positionals(2, 2);
    o.FileName = args[1];
    RefuseOutputOverInput(args[0], {args[1]});
    o.KBText = GetMessageText("infoStrKB");
    o.MBText = GetMessageText("infoStrMB");

    TLibObj& lib = CatalogKeptToExit();
    ctx.LockCatalogForWriting(args[0]);
    LoadCatalogOrNew(lib, args[0]);
    TCliProgress progress;
    progress.Quiet = true;
    TImportResult r = RunImport(lib, o, progress);
    SaveToFile(lib, args[0], progress);
    std::cout << "Volumes: " << r.Volumes << "\tEntries: " << r.Entries << "\tErrors: " << r.Errors
              << '\n';
    return 0;
}

const TCommandDef& ImportCommand() {
    static const TCommandDef def{
        "import",
        "read delimited text as volumes",
        "Reads delimited text (as export writes it) into the catalog as volumes; the catalog is "
        "made when it does not exist. The desktop window's last choices do not apply: every "
        "option starts from its default. Lines that cannot be read are named on stderr and "
        "counted as errors; a file whose lines mostly fail is refused and the catalog stays as "
        "it was.",
        {{"CATALOG", "the catalog file (.txc); made when missing"},
         {"INFILE", "the delimited text file to read; - for standard input"}},
        WithWait(DelimitedOptions("columns in order; Volume, Path and Name are always read")),
        {"import music.txc list.csv --fields Volume,Path,Name,Size,Date",
         "import music.txc - --separator tab < list.tsv"},
        CmdImport};
    return def;
}
