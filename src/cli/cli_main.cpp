#include "cli/cli_context.h"
#include "platform/shell_services.h"
#include "settings/message_error.h"

#include <clocale>
#include <cstdlib>
#include <iostream>
#include <map>

namespace {

const char* kUsage = R"(Usage: tamblix-cli [--settings FILE] COMMAND [ARGS...]

Catalog work from the command line.

Commands:
  new CATALOG [--force]           write an empty catalog (--force replaces a file)
  info CATALOG                    print the catalog's counts
  tree CATALOG                    print the volume tree and the collections tree
  ls CATALOG [PATH] [--tags] [--recursive]
                                  list the volumes, or the entries of a folder
                                  (CD1\music\); --recursive: and of every folder
                                  below, each after a line with its path
  scan CATALOG ROOT [options]     add ROOT as a new volume, titled with --title,
                                  else its label (a mount point) or folder name
  update CATALOG VOLUME [options] rescan a volume; --delete-missing removes what
                                  is gone, refused for an empty or other disc
                                  unless --force
  handlers [--enable T] [--disable T] [--defaults]
                                  print or change the file-type handlers
  tags FILE... [--handler TITLE]  print the tag lines read from audio files
  search CATALOG [criteria]       search the catalog
  export CATALOG OUTFILE [opts]   write delimited text
  import CATALOG INFILE [opts]    read delimited text as volumes
  import-catalog CATALOG PEERFILE [--format cdcat|catcli|gocatcli]
                                  read a CDCat, catcli or gocatcli catalog as volumes

Options:
  --settings FILE   settings file to use (also TAMBLIX_SETTINGS)
  --help            this text
  --version         the program's version

Exit codes: 0 success, 1 error, 2 wrong usage, 3 scan or update saved but some
folders or files could not be read (counted as Errors in the summary).
)";

const std::map<std::string, TCommandFn>& Commands() {
    static const std::map<std::string, TCommandFn> table = {
        {"new", CmdNew},           {"info", CmdInfo},
        {"tree", CmdTree},         {"ls", CmdLs},
        {"scan", CmdScan},         {"update", CmdUpdate},
        {"handlers", CmdHandlers}, {"tags", CmdTags},
        {"search", CmdSearch},     {"export", CmdExport},
        {"import", CmdImport},     {"import-catalog", CmdImportCatalog},
    };
    return table;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::ios::sync_with_stdio(false);
    InstallPlatformServices();
    TCliContext ctx;
    if (const char* env = std::getenv("TAMBLIX_SETTINGS")) ctx.SettingsFile = env;
    std::string command;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--version") {
            std::cout << "tamblix-cli " << TAMBLIX_VERSION << "\n";
            return 0;
        }
        if (a == "--settings") {
            if (i + 1 >= argc) {
                std::cerr << "tamblix-cli: --settings needs a file\n";
                return 2;
            }
            ctx.SettingsFile = argv[++i];
            continue;
        }
        if (a.rfind("--settings=", 0) == 0) {
            ctx.SettingsFile = a.substr(11);
            continue;
        }
        command = a;
        ++i;
        break;
    }
    if (command.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--settings" && i + 1 < argc) {
            ctx.SettingsFile = argv[++i];
            continue;
        }
        ctx.Args.push_back(a);
    }
    auto it = Commands().find(command);
    if (it == Commands().end()) {
        std::cerr << "tamblix-cli: unknown command " << command << "\n" << kUsage;
        return 2;
    }
    try {
        int rc = it->second(ctx);
        ctx.Settings().Sync();
        std::cout.flush();
        return rc;
    } catch (const EUsageError& e) {
        std::cerr << "tamblix-cli: " << e.what() << "\nTry 'tamblix-cli --help'.\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "tamblix-cli: " << ErrorText(e) << "\n";
        return 1;
    }
}
