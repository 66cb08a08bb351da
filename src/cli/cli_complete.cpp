#include "cli/cli_complete.h"

#include "catalog/catalog_file.h"
#include "cli/cli_context.h"
#include "cli/cli_path.h"
#include "cli/command_table.h"
#include "handlers/handlers.h"
#include "search/export.h"
#include "search/import.h"

#include <algorithm>
#include <cstring>
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

// The catalog a completion reads, loaded once; null when it cannot be read.
TLibObj* Catalog(const std::string& path) {
    static std::string loaded;
    static TLibObj* lib = nullptr;
    if (path.empty()) return nullptr;
    if (loaded == path) return lib;
    loaded = path;
    lib = &CatalogKeptToExit();
    try {
        LoadCatalogForCli(*lib, path);
    } catch (const std::exception&) {
        lib = nullptr;
    }
    return lib;
}

// The nodes below `node` (null: the top level of `tree`) whose paths start
// with `prefix`, each as `parent` + its name + "\\".
void AddChildPaths(const TTree& tree, const TTreeNode* node, const std::string& parent,
                   const std::string& prefix, std::vector<std::string>& out) {
    const int count = node ? node->Count() : tree.RootCount();
    for (int i = 0; i < count; ++i) {
        std::string path =
            parent + clipath::WrittenNodeName(node ? node->Child(i) : tree.Root(i)) + "\\";
        if (StartsWith(path, prefix)) out.push_back(path);
    }
}

// Volumes and folders of the catalog (each ending in a backslash), and with
// `files` its files too, one level below what `prefix` names ("CD1\mu").
std::vector<std::string> CatalogPaths(const std::string& catalog, const std::string& prefix,
                                      bool files) {
    std::vector<std::string> out;
    TLibObj* lib = Catalog(catalog);
    if (!lib) return out;
    const size_t cut = prefix.rfind('\\');
    if (cut == std::string::npos) {
        AddChildPaths(lib->Tree, nullptr, "", prefix, out);
        return out;
    }
    const std::string parent = prefix.substr(0, cut + 1);
    TTreeNode* node = clipath::FindFolderOrNull(*lib, parent);
    if (!node) return out;
    AddChildPaths(lib->Tree, node, parent, prefix, out);
    if (files)
        for (const auto& e : FolderOf(node)->Items()) {
            std::string path = parent + clipath::WrittenName(e->Caption.view());
            if (!e->IsFolder && StartsWith(path, prefix)) out.push_back(path);
        }
    return out;
}

// Collections one level below what `prefix` names, each ending in a
// backslash; with `top`, "\\" (the top level) too.
std::vector<std::string> CollectionPaths(const std::string& catalog, const std::string& prefix,
                                         bool top) {
    std::vector<std::string> out;
    TLibObj* lib = Catalog(catalog);
    if (!lib) return out;
    if (top && prefix.empty()) out.push_back("\\");
    const size_t cut = prefix.rfind('\\');
    const std::string parent = cut == std::string::npos ? std::string() : prefix.substr(0, cut + 1);
    const TTreeNode* node = nullptr;
    try {
        if (!parent.empty()) node = clipath::FindCollection(*lib, parent);
    } catch (const std::exception&) {
        return out;
    }
    AddChildPaths(lib->ColTree, node, parent, prefix, out);
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

// How many words an option's value takes: "--add-extension TITLE EXT" two.
size_t ValueWords(const std::string& option, const TOptionDef* o) {
    if (option == "--settings") return 1;
    if (!o || (o->Kind != TOptionKind::Value && o->Kind != TOptionKind::Repeated)) return 0;
    return 1 +
           static_cast<size_t>(std::count(o->ValueName, o->ValueName + strlen(o->ValueName), ' '));
}

// The value of `option` (its `index`th word); `catalog` is the command's catalog.
TCompletion CompleteValue(const TCommandDef& def, const std::string& option,
                          const std::string& prefix, const std::string& catalog, size_t index) {
    using TKind = TCompletion::TKind;
    if (option == "--settings" || option == "--load" || option == "--save" || option == "--search")
        return {TKind::Files, {}};
    if (option == "--source") return {TKind::Folders, {}};
    if (option == "--in" || option == "--scope")
        return {TKind::Words, CatalogPaths(catalog, prefix, false)};
    if (option == "--unit") return {TKind::Words, Matching({"bytes", "KB", "MB"}, prefix)};
    if (option == "--format")
        return {TKind::Words, Matching({"cdcat", "catcli", "gocatcli"}, prefix)};
    if (option == "--duplicates") return {TKind::Words, Matching({"content", "names"}, prefix)};
    if (option == "--handler" || option == "--enable" || option == "--disable" ||
        (index == 0 && (option == "--set-extensions" || option == "--add-extension" ||
                        option == "--remove-extension")))
        return {TKind::Words, Matching(HandlerTitles(), prefix)};
    if (option == "--sort") {
        const size_t colon = prefix.find(':');
        if (colon == std::string::npos) return {TKind::Words, Matching(SortColumnNames(), prefix)};
        const std::string column = prefix.substr(0, colon);
        return {TKind::Words, Matching({column + ":asc", column + ":desc"}, prefix)};
    }
    if (option == "--fields") {
        // The next name of a comma-separated list.
        const size_t comma = prefix.rfind(',');
        const std::string head = comma == std::string::npos ? "" : prefix.substr(0, comma + 1);
        std::vector<std::string> out;
        const auto& names = std::string(def.Name) == "import" ? TImportOptions::FieldNames()
                                                              : TExportOptions::FieldNames();
        for (const auto& n : names)
            if (StartsWith(head + n, prefix)) out.push_back(head + n);
        return {TKind::Words, out};
    }
    return {};
}

// A positional argument of collections: the subcommand, the catalog, then
// what the subcommand takes.
TCompletion CompleteCollections(const std::vector<std::string>& positionals,
                                const std::string& prefix) {
    using TKind = TCompletion::TKind;
    if (positionals.empty())
        return {
            TKind::Words,
            Matching({"list", "create", "add", "add-memo", "rename", "move", "delete"}, prefix)};
    if (positionals.size() == 1) return {TKind::Catalogs, {}};
    const std::string& sub = positionals[0];
    const std::string& catalog = positionals[1];
    const size_t at = positionals.size() - 2;
    if (sub == "delete" || (at == 0 && sub != "list") || (at == 1 && sub == "move"))
        return {TKind::Words, CollectionPaths(catalog, prefix, sub == "move")};
    if (sub == "add") return {TKind::Words, CatalogPaths(catalog, prefix, true)};
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
        if (StartsWith(prefix, "--settings=")) return {TKind::Files, {}};
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
    const bool collections = std::string(def->Name) == "collections";
    std::vector<std::string> positionals;
    auto catalog = [&] {
        const size_t at = collections ? 1 : 0;
        return positionals.size() > at ? positionals[at] : std::string();
    };
    bool optionsEnded = false;
    for (size_t k = i + 1; k < current; ++k) {
        const std::string& w = words[k];
        if (optionsEnded || w.size() < 2 || w[0] != '-') {
            positionals.push_back(w);
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
            continue;
        }
        size_t n = ValueWords(w, def->FindOption(w));
        // "--size >5" is one word; "--duplicates content" takes one.
        if (w == "--size" && k + 1 < current && words[k + 1].size() > 1) n = 1;
        if (w == "--duplicates" && k + 1 < current &&
            (words[k + 1] == "content" || words[k + 1] == "names"))
            n = 1;
        // A mode after --duplicates is optional: a catalog may come there too.
        if (w == "--duplicates" && k + 1 == current) {
            TCompletion c = CompleteValue(*def, w, prefix, catalog(), 0);
            if (!c.Words.empty()) return c;
        }
        if (n > 0 && k + n >= current)
            return CompleteValue(*def, w, prefix, catalog(), current - k - 1);
        k += n;
    }
    if (!optionsEnded && StartsWith(prefix, "--")) {
        const size_t eq = prefix.find('=');
        if (eq == std::string::npos) return {TKind::Words, Matching(def->Spellings(), prefix)};
        // "--option=value": the value, written after the option.
        const std::string option = prefix.substr(0, eq + 1);
        TCompletion c =
            CompleteValue(*def, prefix.substr(0, eq), prefix.substr(eq + 1), catalog(), 0);
        for (auto& w : c.Words)
            w.insert(0, option);
        return c;
    }
    if (!optionsEnded && StartsWith(prefix, "-"))
        return {TKind::Words, Matching(def->Spellings(), prefix)};
    if (collections) return CompleteCollections(positionals, prefix);
    if (def->Arguments.empty()) return {};
    size_t at = std::min(positionals.size(), def->Arguments.size() - 1);
    const TArgumentDef& arg = def->Arguments[at];
    if (positionals.size() > at && !arg.Repeated) return {};
    const std::string name = arg.Name;
    if (name == "CATALOG") return {TKind::Catalogs, {}};
    if (name == "PATH" || name == "VOLUME")
        return {TKind::Words, CatalogPaths(catalog(), prefix, std::string(def->Name) == "edit")};
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
