#include "app/command_line.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

// The window system's own options: these take a value.
constexpr std::array<std::string_view, 12> kToolkitWithValue = {
    "-platform",        "-platformpluginpath",
    "-platformtheme",   "-plugin",
    "-qwindowgeometry", "-qwindowicon",
    "-qwindowtitle",    "-style",
    "-stylesheet",      "-display",
    "-geometry",        "-session"};
constexpr std::array<std::string_view, 5> kToolkitFlags = {"-reverse", "-widgetcount", "-nograb",
                                                           "-dograb", "-sync"};

template <size_t N> bool OneOf(const std::array<std::string_view, N>& list, std::string_view s) {
    for (std::string_view e : list)
        if (s == e || (s.size() == e.size() + 1 && s[0] == '-' && s.substr(1) == e)) return true;
    return false;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine c;
    auto bad = [&c](std::string why) {
        c.Action = TCommandLine::TAction::Bad;
        c.Error = std::move(why);
        return c;
    };
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        const bool option = !optionsEnd && s.size() > 1 && s[0] == '-';
        if (!option) {
            if (!c.Catalog.empty()) return bad("more than one catalog given: '" + s + "'");
            c.Catalog = s;
        } else if (s == "--") {
            optionsEnd = true;
        } else if (s == "--help" || s == "-h") {
            c.Action = TCommandLine::TAction::Help;
            return c;
        } else if (s == "--version") {
            c.Action = TCommandLine::TAction::Version;
            return c;
        } else if (s == "--settings") {
            if (i + 1 >= args.size()) return bad("--settings needs a file name");
            c.SettingsFile = args[++i];
        } else if (s.rfind("--settings=", 0) == 0) {
            c.SettingsFile = s.substr(11);
            if (c.SettingsFile.empty()) return bad("--settings needs a file name");
        } else if (OneOf(kToolkitWithValue, s)) {
            ++i;
        } else if (OneOf(kToolkitFlags, s)) {
        } else if (c.Catalog.empty() && FileExists(s)) {
            // A catalog whose name starts with '-'.
            c.Catalog = s;
        } else {
            return bad("unknown option '" + s + "'");
        }
    }
    return c;
}

const char* CommandLineUsage() {
    return "Usage: tamblix [--settings FILE] [CATALOG.TXC]\n"
           "Keeps a catalog of discs and folders: browse, search and export it offline.\n"
           "\n"
           "  --settings FILE   settings file to use (also TAMBLIX_SETTINGS); the list\n"
           "                    files are kept beside it\n"
           "  -h, --help        show this help and exit\n"
           "  --version         show the version and exit\n";
}
