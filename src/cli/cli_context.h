#pragma once

#include "catalog/catalog_lock.h"
#include "cli/command_table.h"
#include "settings/settings_store.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A wrong command line: exit code 2.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kDefaultLockWaitSeconds = 5; // kWaitOption says so too

// What every command gets: its own arguments and the settings store.
class TCliContext {
public:
    std::vector<std::string> Args; // after the command name
    std::string SettingsFile;      // --settings or TAMBLIX_SETTINGS; empty for the default
    // The table every name taken below must be in: taking an option the table
    // does not list is a programming error (std::logic_error).
    const TCommandDef* Command = nullptr;

    ISettingsStore& Settings();
    // Saves the settings when a command opened them; throws when that fails.
    void SyncSettings();

    // Argument helpers: take "--name VALUE", "--name=VALUE" or a flag out of
    // Args. Only the words before a "--" are options; those after it are
    // positionals, whatever they start with. A flag or a value option that is
    // not Repeated may be given once: a second one is a usage error.
    bool TakeFlag(const std::string& name);
    // "--name" sets value, "--no-name" clears it, the later one wins; value
    // keeps its default when neither is given.
    void TakeSwitch(const std::string& name, bool& value);
    bool TakeOption(const std::string& name, std::string& value);
    std::vector<std::string> TakeOptionAll(const std::string& name);
    // What is left must be exactly between min and max positional arguments,
    // as the table's arguments say. A word left that starts with "-" (but
    // "-" alone, which names standard input or output) is an unknown option.
    std::vector<std::string> Positionals(size_t min, size_t max);
    // Moves the words after the first "--" that is not an option's value out
    // of Args, and writes the short spellings as their long names ("-0" for
    // "--null"); the Take helpers call it first. Called again it does nothing.
    void SplitOperands();
    // For a parser that reads Args itself: throws std::logic_error unless the
    // table lists `name` as a value option (valued) or a flag.
    void CheckDeclared(const std::string& name, bool valued) const;

    // Throws a usage error when `name` is still in Args (for a parser that
    // took it once itself).
    void RefuseRepeat(const std::string& name) const;

    // Commands that write the catalog: takes --wait SECONDS (kWaitOption).
    void TakeLockWait();
    // Takes the writer lock on the catalog before it is loaded; it is held
    // until the command ends, so the save is built from the file as it is.
    // Refuses, naming who holds it, once the wait is over.
    void LockCatalogForWriting(const std::string& path);
    int LockWaitMs() const { return lockWaitMs_; }

private:
    std::unique_ptr<ISettingsStore> settings_;
    std::vector<std::string> operands_; // after "--"
    int lockWaitMs_ = kDefaultLockWaitSeconds * 1000;
    TCatalogLock lock_;
};

// Commands, one file each.
int CmdNew(TCliContext&);
int CmdInfo(TCliContext&);
int CmdTree(TCliContext&);
int CmdLs(TCliContext&);
int CmdScan(TCliContext&);
int CmdUpdate(TCliContext&);
int CmdHandlers(TCliContext&);
int CmdTags(TCliContext&);
int CmdSearch(TCliContext&);
int CmdExport(TCliContext&);
int CmdImport(TCliContext&);
int CmdImportCatalog(TCliContext&);
int CmdEdit(TCliContext&);
int CmdCollections(TCliContext&);
int CmdWatch(TCliContext&);

class THandlerList;
class TLibObj;
// The handlers as the settings say, else the defaults.
void LoadHandlers(TCliContext& ctx, THandlerList& handlers);
// The summary line after a scan or an update.
std::string ScanSummary(const TLibObj& lib, int64_t errors,
                        std::chrono::steady_clock::time_point start);

// The column names --sort takes, for the completion.
std::vector<std::string> SortColumnNames();

// Message text of an error for the user ("File not found: x").
std::string ErrorText(const std::exception& e);

// The option of every command that writes the catalog.
inline constexpr TOptionDef kWaitOption{"--wait", TOptionKind::Value, "SECONDS",
                                        "how long to wait while another program writes the "
                                        "catalog",
                                        "5"};
std::vector<TOptionDef> WithWait(std::vector<TOptionDef> options);

// The options export and import share: --fields, --separator, --qualifier.
std::vector<TOptionDef> DelimitedOptions(const char* fieldsHelp);
struct TFieldItem;
void TakeDelimitedOptions(TCliContext& ctx, std::vector<TFieldItem>& fields, std::string& separator,
                          std::string& qualifier);

// Short spellings of options: a command whose table has the long name takes
// the short one too.
struct TShortOption {
    const char* Short; // "-0"
    const char* Long;  // "--null"
};
const std::vector<TShortOption>& ShortOptions();

class TLibObj;
// A new, empty catalog for a command, never taken apart: the process ends
// soon after the command, and freeing millions of entries one by one takes
// longer than the system's taking back the memory at exit. It stays
// reachable, so that leak checkers do not count it.
TLibObj& CatalogKeptToExit();
// Loads a catalog for a command (no progress lines); throws on any failure.
void LoadCatalogForCli(TLibObj& lib, const std::string& path);
// The same, or a new catalog to be saved at `path` when there is no file yet.
void LoadCatalogOrNew(TLibObj& lib, const std::string& path);
// Saves it (no progress lines); the old file stays whole when this fails.
void SaveCatalogQuietly(TLibObj& lib, const std::string& path);
bool KnownVersionFile(const std::string& path);

// A text column of tab-separated output, escaped the same way by every
// command: "\\" for a backslash, \t, \n, and \xNN for other control bytes,
// so that every row stays one line and the text reads back unambiguously.
std::string CliField(std::string_view text);
