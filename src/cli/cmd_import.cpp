#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_progress.h"
#include "search/import.h"
#include "settings/message_table.h"

#include <filesystem>
#include <iostream>

void TakeDelimitedOptions(TCliContext& ctx, std::vector<TFieldItem>& fields, std::string& separator,
                          std::string& qualifier);

int CmdImport(TCliContext& ctx) {
    TImportOptions o;
    o.Load(ctx.Settings());
    TakeDelimitedOptions(ctx, o.Fields, o.Separator, o.Qualifier);
    o.ForceRequired();
    auto args = ctx.Positionals(2, 2);
    o.FileName = args[1];
    o.KBText = GetMessageText("infoStrKB");
    o.MBText = GetMessageText("infoStrMB");

    TLibObj lib;
    std::error_code ec;
    if (std::filesystem::exists(args[0], ec)) LoadCatalogForCli(lib, args[0]);
    TCliProgress progress;
    progress.Quiet = true;
    TImportResult r = RunImport(lib, o, progress);
    SaveToFile(lib, args[0], progress);
    std::cout << "Volumes: " << r.Volumes << "\tEntries: " << r.Entries << "\tErrors: " << r.Errors
              << '\n';
    return 0;
}
