#include "app/command_line.h"

#include <algorithm>
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

const std::vector<TDesktopOption>& DesktopOptions() {
    static const std::vector<TDesktopOption> options = {
        {"--settings", "FILE", "settings file to use (also TAMBLIX_SETTINGS)"},
        {"-h, --help", "", "show this help and exit"},
        {"--version", "", "show the version and exit"},
    };
    return options;
}

const char* DesktopSummary() {
    return "Keeps a catalog of discs and folders: browse, search and export it offline.";
}

const char* DesktopDescription() {
    return "Opens CATALOG.TXC, or the catalog open when the program last ended. A volume (a "
           "disc or a folder) is read once; its folders and files, with sizes, dates, audio "
           "tags and archive members, stay browsable and searchable while the disc is away. The "
           "list files are kept beside the settings file.\n\n"
           "The window system's own options (-platform NAME, -style NAME, -geometry GEOMETRY "
           "and the like) are passed on to it. A catalog whose name starts with '-' can follow "
           "\"--\".";
}

const char* CommandLineUsage() {
    static const std::string text = [] {
        std::string s = "Usage: tamblix [--settings FILE] [CATALOG.TXC]\n";
        s += DesktopSummary();
        s += "\n\n";
        for (const auto& o : DesktopOptions()) {
            std::string label = std::string("  ") + o.Names;
            if (*o.Value) label += std::string(" ") + o.Value;
            label.resize(std::max<size_t>(label.size() + 1, 20), ' ');
            s += label + o.Help + "\n";
        }
        return s;
    }();
    return text.c_str();
}
