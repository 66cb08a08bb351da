#include "cli/cli_complete.h"

#include "analysis/handlers.h"
#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_path.h"
#include "cli/command_table.h"

#include <iostream>

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> Matching(const std::vector<std::string>& names,
                                  const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& n : names)
        if (StartsWith(n, prefix)) out.push_back(n);
    return out;
}

// Folders of the catalog whose paths start with `prefix` ("CD1\mu"), one
// level below what the prefix names, each ending in a backslash.
std::vector<std::string> CatalogFolders(const std::string& catalog, const std::string& prefix) {
    std::vector<std::string> out;
    TLibObj& lib = CatalogKeptToExit();
    try {
        LoadCatalogForCli(lib, catalog);
    } catch (const std::exception&) {
        return out;
    }
    size_t cut = prefix.rfind('\\');
    if (cut == std::string::npos) {
        for (int i = 0; i < lib.Tree.RootCount(); ++i) {
            std::string path = clipath::WrittenFolderPath(FolderOf(lib.Tree.Root(i)));
            if (StartsWith(path, prefix)) out.push_back(path);
        }
        return out;
    }
    const std::string parent = prefix.substr(0, cut + 1);
    TTreeNode* node = clipath::FindFolderOrNull(lib, parent);
    if (!node) return out;
    const std::string leaf = prefix.substr(cut + 1);
    for (int i = 0; i < node->Count(); ++i) {
        std::string part = clipath::WrittenNodeName(node->Child(i));
        if (StartsWith(part, leaf)) out.push_back(parent + part + "\\");
    }
    return out;
}

std::vector<std::string> HandlerTitles() {
    THandlerList table;
    table.SetDefaults();
    std::vector<std::string> out;
    for (const auto& h : table.Items())
        out.push_back(h->Title);
    return out;
}

// The value of `option`; `catalog` is the command's first argument so far.
TCompletion CompleteValue(const std::string& option, const std::string& prefix,
                          const std::string& catalog) {
    using TKind = TCompletion::TKind;
    if (option == "--settings" || option == "--load" || option == "--save" || option == "--search")
        return {TKind::Files, {}};
    if (option == "--source") return {TKind::Folders, {}};
    if (option == "--in" || option == "--scope")
        return {TKind::Words,
                catalog.empty() ? std::vector<std::string>{} : CatalogFolders(catalog, prefix)};
    if (option == "--unit") return {TKind::Words, Matching({"bytes", "KB", "MB"}, prefix)};
    if (option == "--format")
        return {TKind::Words, Matching({"cdcat", "catcli", "gocatcli"}, prefix)};
    if (option == "--handler" || option == "--enable" || option == "--disable")
        return {TKind::Words, Matching(HandlerTitles(), prefix)};
    return {};
}

} // namespace

TCompletion CompleteCommandLine(const std::vector<std::string>& words, size_t current) {
    using TKind = TCompletion::TKind;
    // The word being completed is one of the words or the one right after them.
    if (words.empty() || current == 0 || current > words.size()) return {};
    const std::string prefix = current < words.size() ? words[current] : std::string();
    size_t i = 1;
    // Options before the command.
    while (i < current && StartsWith(words[i], "-")) {
        if (words[i] == "--settings") {
            if (i + 1 == current) return {TKind::Files, {}};
            ++i;
        }
        ++i;
    }
    if (i == current) {
        if (StartsWith(prefix, "-"))
            return {TKind::Words, Matching({"--settings", "--help", "--version"}, prefix)};
        std::vector<std::string> names{"help"};
        for (const TCommandDef* c : AllCommands())
            names.push_back(c->Name);
        return {TKind::Words, Matching(names, prefix)};
    }
    if (i >= words.size()) return {};
    if (words[i] == "help") {
        if (i + 1 != current) return {};
        std::vector<std::string> names;
        for (const TCommandDef* c : AllCommands())
            names.push_back(c->Name);
        return {TKind::Words, Matching(names, prefix)};
    }
    const TCommandDef* def = FindCommand(words[i]);
    if (!def) return {};
    std::vector<std::string> positionals;
    for (size_t k = i + 1; k < current && k < words.size(); ++k) {
        const std::string& w = words[k];
        const TOptionDef* o = def->FindOption(w);
        bool valued = w == "--settings" ||
                      (o && (o->Kind == TOptionKind::Value || o->Kind == TOptionKind::Repeated));
        if (valued) {
            if (k + 1 == current)
                return CompleteValue(w, prefix, positionals.empty() ? "" : positionals[0]);
            ++k;
        } else if (!StartsWith(w, "--")) {
            positionals.push_back(w);
        }
    }
    if (StartsWith(prefix, "-")) return {TKind::Words, Matching(def->Spellings(), prefix)};
    if (def->Arguments.empty()) return {};
    size_t at = std::min(positionals.size(), def->Arguments.size() - 1);
    const TArgumentDef& arg = def->Arguments[at];
    if (positionals.size() > at && !arg.Repeated) return {};
    const std::string name = arg.Name;
    if (name == "CATALOG") return {TKind::Catalogs, {}};
    if (name == "PATH" || name == "VOLUME")
        return {TKind::Words, CatalogFolders(positionals[0], prefix)};
    if (name == "ROOT") return {TKind::Folders, {}};
    return {TKind::Files, {}};
}

int CmdComplete(const std::vector<std::string>& args) {
    TCompletion c;
    try {
        if (args.size() >= 2) {
            size_t used = 0;
            unsigned long index = std::stoul(args[0], &used);
            if (used == args[0].size() && index <= args.size())
                c = CompleteCommandLine({args.begin() + 1, args.end()}, index);
        }
    } catch (const std::exception&) {
        c = {};
    }
    static const char* const kinds[] = {"words", "files", "folders", "catalogs"};
    std::cout << kinds[static_cast<int>(c.Kind)] << '\n';
    for (const auto& w : c.Words)
        if (w.find('\n') == std::string::npos) std::cout << w << '\n';
    return 0;
}
