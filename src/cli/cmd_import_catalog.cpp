#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_files.h"
#include "cli/cli_progress.h"
#include "importers/peer_catalog.h"

#include <iostream>

int CmdImportCatalog(TCliContext& ctx) {
    TPeerImportOptions o;
    std::string format;
    if (ctx.TakeOption("--format", format)) {
        o.Format = PeerFormatFromName(format);
        if (o.Format == TPeerFormat::Unknown)
            throw EUsageError("--format takes cdcat, catcli or gocatcli, not " + format);
    }
    ctx.TakeLockWait();
    auto args = ctx.Positionals(2, 2);
    RefuseOutputOverInput(args[0], {args[1]});

    TLibObj& lib = CatalogKeptToExit();
    ctx.LockCatalogForWriting(args[0]);
    LoadCatalogOrNew(lib, args[0]);
    TCliProgress progress;
    progress.Quiet = true;
    TPeerImportResult r = ImportPeerCatalog(lib, args[1], o, progress);
    SaveToFile(lib, args[0], progress);
    std::cout << "Format: " << PeerFormatName(r.Format) << "\tVolumes: " << r.Volumes
              << "\tFolders: " << r.Folders << "\tFiles: " << r.Files
              << "\tArchive members: " << r.ArchiveMembers << "\tErrors: " << r.Errors << '\n';
    return 0;
}

const TCommandDef& ImportCatalogCommand() {
    static const TCommandDef def{
        "import-catalog",
        "read a CDCat, catcli or gocatcli catalog as volumes",
        "Reads another cataloguer's catalog into the catalog as new volumes; the catalog is made "
        "when it does not exist. CDCat (.hcf, gzip or plain XML), catcli (JSON) and gocatcli "
        "(JSON or TOML) catalogs are recognised by their content. A volume whose name the catalog "
        "already has gets \"#2\", \"#3\"... appended. Members of archives go into the folders "
        "their paths name. Entries that cannot be read are named on stderr and "
        "counted as errors; a file that cannot be read as a whole is refused and the catalog "
        "stays as it was.",
        {{"CATALOG", "the catalog file (.txc); made when missing"},
         {"PEERFILE", "the other program's catalog file"}},
        {{"--format", TOptionKind::Value, "F",
          "read PEERFILE as this kind only: cdcat, catcli or "
          "gocatcli",
          "recognised by content"},
         kWaitOption},
        {"import-catalog music.txc old.hcf"},
        CmdImportCatalog};
    return def;
}
