#include "analysis/handlers.h"
#include "cli/cli_context.h"
#include "settings/message_error.h"
#include "tags/reader_steps.h"
#include "tags/tag_info.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

// tags FILE... [--handler TITLE]
// Prints, for each file, the tag lines the scan would store for it.
int CmdTags(TCliContext& ctx) {
    std::string handler;
    bool forced = ctx.TakeOption("--handler", handler);
    std::vector<std::string> files = ctx.Positionals(1, SIZE_MAX);

    THandlerList table;
    if (forced) {
        table.SetDefaults();
        if (!table.Find(handler)) throw EUsageError("unknown handler: " + handler);
    } else {
        // Reads the stored table without writing anything back.
        ISettingsStore& store = ctx.Settings();
        try {
            if (store.KeyExists(kHandlersKey))
                table.LoadFromRegistry(store);
            else
                table.SetDefaults();
        } catch (const EMessageError&) {
            table.SetDefaults();
        }
    }

    // Every file is checked first, so that a bad name costs no output.
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::error_code ec;
        if (!in || std::filesystem::is_directory(f, ec))
            throw std::runtime_error("cannot open " + f);
    }
    std::string out;
    for (const auto& f : files) {
        TTagInfo info;
        if (forced)
            RunReaderStep(handler, f, info);
        else
            table.ProcessFile(f, info);
        out += CliField(f);
        out += '\n';
        for (const auto& line : info.Values()) {
            out += "  ";
            out += CliField(line);
            out += '\n';
        }
        if (out.size() > (1 << 16)) {
            std::cout << out;
            out.clear();
        }
    }
    std::cout << out << std::flush;
    return 0;
}
