#pragma once

#include <string>
#include <string_view>
#include <vector>

// A manual page in the man(7) macros, made from the programs' own option
// tables so that it says what their --help says.
struct TManOption {
    std::string Names; // "--level", "--folders, --no-folders"
    std::string Value; // "N", or "" for a flag
    std::string Help;
};

struct TManSection {
    std::string Title;                    // "OPTIONS"
    std::string Text;                     // paragraphs separated by blank lines; may be empty
    std::vector<TManOption> Options;      // shown as tagged paragraphs after the text
    std::vector<TManSection> Subsections; // .SS, for the commands of tamblix-cli
    std::vector<std::string> Examples;    // command lines shown as they are
};

struct TManPage {
    std::string Name;     // "tamblix-cli"
    std::string Summary;  // the NAME line after the dash
    std::string Synopsis; // without the program's name
    std::string Version;
    std::vector<TManSection> Sections;
};

std::string RenderManPage(const TManPage& page);
// Text as roff reads it literally: backslashes, dashes and leading dots escaped.
std::string RoffText(std::string_view text);

// The files both programs read and write, for both pages.
TManSection FilesSection();
// The page of tamblix-cli, from the command tables.
TManPage CliManPage();
