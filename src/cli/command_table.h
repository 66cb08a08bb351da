#pragma once

#include <string>
#include <string_view>
#include <vector>

class TCliContext;
using TCommandFn = int (*)(TCliContext&);

// How an option is written on the command line.
enum class TOptionKind {
    Flag,     // --force
    Switch,   // --folders sets, --no-folders clears; the later one wins
    Value,    // --level N or --level=N
    Repeated, // a value option that may be given more than once
};

struct TOptionDef {
    const char* Name;      // "--level"
    TOptionKind Kind;      //
    const char* ValueName; // "N" for value options, "" for flags
    const char* Help;      // one line
    const char* Default;   // "" when there is nothing to say; flags default to off
};

struct TArgumentDef {
    const char* Name; // "CATALOG"
    const char* Help; // one line
    bool Optional = false;
    bool Repeated = false;
};

// One command: its help texts and the options its parser may take. The
// parser checks every name it takes against this table, so the help cannot
// miss an option.
struct TCommandDef {
    const char* Name;
    const char* Summary;     // one line, for the command list
    const char* Description; // paragraphs separated by blank lines; may be empty
    std::vector<TArgumentDef> Arguments;
    std::vector<TOptionDef> Options;
    std::vector<const char*> Examples; // command lines without the program name
    TCommandFn Run;

    const TOptionDef* FindOption(std::string_view name) const;
    // "ls CATALOG [PATH] [options]"
    std::string Synopsis() const;
    // Every spelling the parser accepts: "--folders" and "--no-folders" for a switch.
    std::vector<std::string> Spellings() const;
};

// Every command in the order of the program's help.
const std::vector<const TCommandDef*>& AllCommands();
const TCommandDef* FindCommand(std::string_view name);

// Options the program takes before or after any command.
const std::vector<TOptionDef>& GlobalOptions();

// How options are written, for the program's help and the manual.
extern const char* const kOptionRules;
// The exit codes, likewise.
extern const char* const kExitCodes;

// Text of `tamblix-cli --help` and of `tamblix-cli COMMAND --help`.
std::string ProgramHelp();
std::string CommandHelp(const TCommandDef& c);
// The one-line summary as a sentence: "Write an empty catalog."
std::string SummarySentence(const TCommandDef& c);

// The candidate nearest to `word` by edit distance, or "" when none is close
// enough to be a likely typing mistake.
std::string NearestName(std::string_view word, const std::vector<std::string>& candidates);

// Tables of the commands, one in each command's file.
const TCommandDef& NewCommand();
const TCommandDef& InfoCommand();
const TCommandDef& TreeCommand();
const TCommandDef& LsCommand();
const TCommandDef& ScanCommand();
const TCommandDef& UpdateCommand();
const TCommandDef& WatchCommand();
const TCommandDef& HandlersCommand();
const TCommandDef& TagsCommand();
const TCommandDef& ThumbnailCommand();
const TCommandDef& SearchCommand();
const TCommandDef& ExportCommand();
const TCommandDef& ImportCommand();
const TCommandDef& ImportCatalogCommand();
const TCommandDef& EditCommand();
const TCommandDef& CollectionsCommand();
