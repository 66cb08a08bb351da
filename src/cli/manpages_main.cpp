// Writes the manual pages of both programs at build time:
//   tamblix-manpages OUTDIR
#include "app/command_line.h"
#include "cli/man_page.h"

#include <fstream>
#include <iostream>

namespace {

TManPage DesktopManPage() {
    TManPage page;
    page.Name = "tamblix";
    page.Summary = "keep a catalog of discs and folders";
    page.Synopsis = "[--settings FILE] [CATALOG.TXC]";
    page.Version = TAMBLIX_VERSION;
    TManSection options{"OPTIONS", "", {}, {}, {}};
    for (const auto& o : DesktopOptions())
        options.Options.push_back({o.Names, o.Value, o.Help});
    page.Sections = {
        {"DESCRIPTION", std::string(DesktopSummary()) + "\n\n" + DesktopDescription(), {}, {}, {}},
        options,
        {"ENVIRONMENT",
         "TAMBLIX_SETTINGS names the settings file when --settings does not.",
         {},
         {},
         {}},
        {"EXIT STATUS",
         "0 success, 1 the window could not open (no display was found), 2 wrong usage.",
         {},
         {},
         {}},
        FilesSection(),
        {"SEE ALSO", "tamblix-cli(1)", {}, {}, {}},
    };
    return page;
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (f) return true;
    std::cerr << "tamblix-manpages: cannot write " << path << "\n";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: tamblix-manpages OUTDIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = Write(dir + "/tamblix-cli.1", RenderManPage(CliManPage()));
    ok = Write(dir + "/tamblix.1", RenderManPage(DesktopManPage())) && ok;
    return ok ? 0 : 1;
}
