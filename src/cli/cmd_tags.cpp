#include "cli/cli_context.h"
#include "cli/cli_json.h"
#include "cli/cli_path.h"
#include "handlers/handlers.h"
#include "media/media_steps.h"
#include "tags/reader_steps.h"
#include "tags/tag_info.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

// tags FILE... [--handler TITLE]
// Prints, for each file, the tag lines the scan would store for it.
int CmdTags(TCliContext& ctx) {
    std::string handler;
    bool forced = ctx.TakeOption("--handler", handler);
    bool json = ctx.TakeFlag("--json");
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
                table.LoadFromSettings(store);
            else
                table.SetDefaults();
        } catch (const EMessageError&) {
            table.SetDefaults();
        }
    }

    // Every file is checked first, so that a bad name costs no output. Only
    // regular files are read, as the scan does: a FIFO would never end.
    std::vector<bool> regular;
    for (const auto& f : files) {
        std::error_code ec;
        auto st = std::filesystem::status(f, ec);
        if (ec || !std::filesystem::exists(st)) throw std::runtime_error("cannot open " + f);
        if (std::filesystem::is_directory(st)) throw std::runtime_error("cannot open " + f);
        regular.push_back(std::filesystem::is_regular_file(st));
        if (regular.back() && !std::ifstream(f, std::ios::binary))
            throw std::runtime_error("cannot open " + f);
    }
    std::string out;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& f = files[i];
        if (!regular[i]) {
            std::cerr << "tamblix-cli: " << f << ": not a regular file, skipped\n";
            continue;
        }
        TTagInfo info;
        TakeMediaReadFailure();
        if (forced)
            RunReaderStep(handler, f, info);
        else
            table.ProcessFile(f, info);
        // Why a video or photo gave nothing, such as a missing video module.
        if (std::string why = TakeMediaReadFailure().Why; !why.empty())
            std::cerr << "tamblix-cli: " << f << ": " << why << "\n";
        if (json) {
            // Display text: a byte that is not UTF-8 as U+FFFD.
            TJson j{{"file", clipath::DisplayText(nametext::DiskToCaption(f))},
                    {"tags", info.Values()}};
            out += j.dump(-1, ' ', false, TJson::error_handler_t::replace);
            out += '\n';
        } else {
            out += CliField(f);
            out += '\n';
            for (const auto& line : info.Values()) {
                out += "  ";
                out += CliField(line);
                out += '\n';
            }
        }
        if (out.size() > (1 << 16)) {
            std::cout << out;
            out.clear();
        }
    }
    std::cout << out << std::flush;
    return 0;
}

const TCommandDef& TagsCommand() {
    static const TCommandDef def{
        "tags",
        "print the tag lines read from audio, video and photo files",
        "Prints, for each file, its name and below it the tag lines a scan would store for it, "
        "indented by two spaces. Files that are not regular files are skipped with a message.",
        {{"FILE", "an audio, video or photo file", false, true}},
        {{"--handler", TOptionKind::Value, "TITLE",
          "read every file with this handler of the shipped table",
          "the handler the file's extension selects"},
         {"--json", TOptionKind::Flag, "",
          "JSON Lines instead: one object per file, {\"file\": NAME, \"tags\": [LINES]}", ""}},
        {"tags song.mp3 'other song.flac' film.mkv photo.jpg", "tags --json song.mp3"},
        CmdTags};
    return def;
}
