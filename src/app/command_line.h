#pragma once

#include <string>
#include <vector>

// What the desktop program was asked to do on its command line. Read from the
// raw arguments before any window-system object exists, so that --help and
// --version work without a display.
struct TCommandLine {
    enum class TAction { Run, Help, Version, Bad };
    TAction Action = TAction::Run;
    std::string SettingsFile;
    std::string Catalog;
    std::string Error; // for Bad: what was wrong
};

// `args` without the program name. Options of the window system ("-platform
// NAME", "-style NAME", ...) are left for it and skipped here.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The desktop program's own options, for its help and its manual page.
struct TDesktopOption {
    const char* Names; // "-h, --help"
    const char* Value; // "FILE", or "" for a flag
    const char* Help;  // one line
};
const std::vector<TDesktopOption>& DesktopOptions();
// The program in one line, and the paragraphs that say more.
const char* DesktopSummary();
const char* DesktopDescription();

// The usage text, ending in a newline.
const char* CommandLineUsage();
