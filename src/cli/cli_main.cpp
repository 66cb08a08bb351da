#include "cli/cli_complete.h"
#include "cli/cli_context.h"
#include "cli/cli_files.h"
#include "cli/command_table.h"
#include "platform/shell_services.h"
#include "text/message_error.h"
#include "walk/folder_listing.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <iostream>

namespace {

bool IsHelp(const std::string& a) {
    return a == "--help" || a == "-h";
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const TCommandDef* c : AllCommands())
        names.push_back(c->Name);
    return names;
}

int UnknownCommand(const std::string& name) {
    std::cerr << "tamblix-cli: unknown command " << name;
    std::string near = NearestName(name, CommandNames());
    if (!near.empty()) std::cerr << "; did you mean " << near << "?";
    std::cerr << "\nTry 'tamblix-cli --help'.\n";
    return 2;
}

// "help" and "help COMMAND".
int Help(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cout << ProgramHelp();
        return 0;
    }
    const TCommandDef* c = FindCommand(args[0]);
    if (!c) return UnknownCommand(args[0]);
    std::cout << CommandHelp(*c);
    return 0;
}

int UnknownOption(const std::string& word) {
    std::cerr << "tamblix-cli: unknown option " << word;
    std::vector<std::string> names{"--version"};
    for (const auto& o : GlobalOptions())
        names.push_back(o.Name);
    std::string near = NearestName(word.substr(0, word.find('=')), names);
    if (!near.empty()) std::cerr << "; did you mean " << near << "?";
    std::cerr << "\nTry 'tamblix-cli --help'.\n";
    return 2;
}

int Version() {
    std::cout << "tamblix-cli " << TAMBLIX_VERSION << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::ios::sync_with_stdio(false);
    // A scan reads many folders ahead, each open until the scan takes it.
    TFolderPrefetch::RaiseDescriptorLimit();
    InstallPlatformServices();
    TCliContext ctx;
    if (const char* env = std::getenv("TAMBLIX_SETTINGS")) ctx.SettingsFile = env;
    std::string command;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (IsHelp(a)) {
            std::cout << ProgramHelp();
            return 0;
        }
        if (a == "--version") return Version();
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
        if (a == "--") {
            ++i;
            if (i < argc) command = argv[i++];
            break;
        }
        if (a.size() > 1 && a[0] == '-' && a != "__complete") return UnknownOption(a);
        command = a;
        ++i;
        break;
    }
    if (command.empty()) {
        std::cerr << ProgramHelp();
        return 2;
    }
    // Hidden: what the shell completion asks, with the words as they are.
    if (command == "__complete") return CmdComplete({argv + i, argv + argc});
    const TCommandDef* def = FindCommand(command);
    ctx.Command = def;
    ctx.Args.assign(argv + i, argv + argc);
    // The common options, before the "--" that ends the options.
    ctx.SplitOperands();
    bool help = false, version = false;
    std::vector<std::string> rest;
    for (size_t k = 0; k < ctx.Args.size(); ++k) {
        const std::string& a = ctx.Args[k];
        if (a == "--settings") {
            if (k + 1 >= ctx.Args.size()) {
                std::cerr << "tamblix-cli: --settings needs a file\n";
                return 2;
            }
            ctx.SettingsFile = ctx.Args[++k];
        } else if (a.rfind("--settings=", 0) == 0) {
            ctx.SettingsFile = a.substr(11);
        } else if (IsHelp(a)) {
            help = true;
        } else if (a == "--version") {
            version = true;
        } else {
            rest.push_back(a);
        }
    }
    ctx.Args = std::move(rest);
    if (command == "help") {
        if (version) return Version();
        return Help(ctx.Args);
    }
    if (!def) return UnknownCommand(command);
    if (help) {
        std::cout << CommandHelp(*def);
        return 0;
    }
    if (version) return Version();
    try {
        // A save of the settings would destroy a file the command works on, and the other way
        // round.
        for (const std::string& a : ctx.Args)
            RefuseOutputOverInput(ctx.SettingsFile, {a});
        int rc = def->Run(ctx);
        ctx.SyncSettings();
        std::cout.flush();
        return rc;
    } catch (const EUsageError& e) {
        std::cerr << "tamblix-cli: " << e.what() << "\nTry 'tamblix-cli " << def->Name
                  << " --help'.\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "tamblix-cli: " << ErrorText(e) << "\n";
        return 1;
    }
}
