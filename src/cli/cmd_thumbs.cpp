#include "catalog/catalog_edits.h"
#include "catalog/catalog_thumbs.h"
#include "cli/cli_context.h"
#include "cli/cli_path.h"
#include "cli/command_table.h"
#include "files/safe_file.h"
#include "text/message_error.h"

#include <iostream>
#include <stdexcept>
#include <unistd.h>

// thumbnail CATALOG PATH --output FILE
// Writes the thumbnail the catalog keeps of an entry, as the JPEG it is stored as.
int CmdThumbnail(TCliContext& ctx) {
    std::string output;
    if (!ctx.TakeOption("--output", output))
        throw EUsageError("--output FILE (or -o FILE) is needed");
    auto args = ctx.Positionals(2, 2);
    TLibObj& lib = CatalogKeptToExit();
    LoadCatalogForCli(lib, args[0]);
    const TCatalogTarget target = clipath::FindTarget(lib, args[1]);
    if (!target.Entry || target.Entry->IsFolder)
        throw std::runtime_error(args[1] + " is not a file: only files have thumbnails");
    TCatalogThumbs thumbs(lib);
    TThumbnail thumb;
    if (!thumbs.Find(target.Entry, thumb)) {
        std::string why = args[1] + " has no thumbnail in the catalog";
        if (!thumbs.Problem().empty()) why += " (" + thumbs.Problem() + ")";
        throw std::runtime_error(why);
    }
    if (output == "-") {
        std::cout.write(thumb.Data.data(), static_cast<std::streamsize>(thumb.Data.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    WriteFileAtomically(output, thumb.Data);
    return 0;
}

const TCommandDef& ThumbnailCommand() {
    static const TCommandDef def{
        "thumbnail",
        "write the thumbnail the catalog keeps of a photo or video",
        "Writes the thumbnail of the file at PATH as the JPEG the catalog keeps beside it "
        "(CATALOG-thumbs), at most 256 pixels on its long side. A scan or update with "
        "--thumbnails makes them. A file without one, or whose thumbnail was made of it "
        "before it changed, is an error.",
        {{"CATALOG", "the catalog file (.txc)"},
         {"PATH", "a file as a catalog path, such as CD1\\photos\\beach.jpg"}},
        {{"--output", TOptionKind::Value, "FILE",
          "where to write the JPEG (-o; - for standard output)", ""}},
        {"thumbnail photos.txc 'CD1\\2024\\beach.jpg' -o beach.jpg"},
        CmdThumbnail};
    return def;
}
