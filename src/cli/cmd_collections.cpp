#include "catalog/catalog_edits.h"
#include "catalog/collection_edits.h"
#include "catalog/lib_obj.h"
#include "cli/cli_context.h"
#include "cli/cli_json.h"
#include "cli/cli_path.h"
#include "settings/message_table.h"
#include "text/message_error.h"

#include <iostream>
#include <stdexcept>

namespace {

bool IsTopLevel(const std::string& path) {
    return path.empty() || path.find_first_not_of('\\') == std::string::npos;
}

TTreeNode* NodeOf(const TLibObj& lib, const std::string& path) {
    return clipath::FindCollection(lib, path);
}

// The parent named by PATH; null for the top level.
TTreeNode* ParentOf(const TLibObj& lib, const std::string& path) {
    return IsTopLevel(path) ? nullptr : NodeOf(lib, path);
}

void List(const TLibObj& lib, bool json) {
    lib.ColTree.ForEach([&](TTreeNode* n) {
        if (json) return PrintJsonLine(CollectionJson(n));
        const TLibColItem* c = ColItemOf(n);
        std::cout << clipath::WrittenColPath(n) << '\t' << ColKindText(c) << '\t'
                  << clipath::WrittenLink(c) << '\t' << CliField(c ? c->URL : "") << '\n';
    });
}

// Refuses a name that a collection beside `node` (or a new child of `parent`) has.
void CheckFreeName(const TLibObj& lib, const TTreeNode* parent, const std::string& caption,
                   const TTreeNode* node = nullptr) {
    for (const TTreeNode* n : clipath::NamedChildren(lib.ColTree, parent, caption))
        if (n != node)
            throw std::runtime_error(
                "already there: " + (parent ? clipath::WrittenColPath(parent) + "\\" : "") +
                clipath::WrittenName(caption));
}

TTreeNode* Create(TLibObj& lib, const std::string& path) {
    std::vector<clipath::TWrittenPart> parts = clipath::ParseWrittenPath(path);
    if (parts.empty()) throw EUsageError("create needs a collection path");
    // The collections above are found as any path is (NAME#N picks one of a
    // name); the missing ones are made.
    TTreeNode* node = nullptr;
    for (size_t k = 0; k < parts.size(); ++k) {
        const auto named = clipath::NamedChildren(lib.ColTree, node, parts[k].Caption);
        const size_t number = static_cast<size_t>(parts[k].Number);
        if (k + 1 == parts.size() && !named.empty())
            throw std::runtime_error("already there: " + path);
        if (number > named.size()) throw std::runtime_error("no such collection: " + path);
        if (named.size() > 1 && number == 0)
            clipath::FindCollection(lib, path); // ambiguous: throws
        node = named.empty() ? lib.AddCollection(node, parts[k].Caption)
                             : named[number ? number - 1 : 0];
    }
    return node;
}

} // namespace

// collections SUBCOMMAND CATALOG ...: the collections tree from the command
// line, under the window's rules. Nothing is saved unless every argument is right.
int CmdCollections(TCliContext& ctx) {
    bool json = ctx.TakeFlag("--json");
    std::string url, memo;
    bool hasUrl = ctx.TakeOption("--url", url);
    bool hasMemo = ctx.TakeOption("--memo", memo);
    ctx.TakeLockWait();
    auto args = ctx.Positionals(2, SIZE_MAX);
    const std::string& sub = args[0];
    const std::string& catalog = args[1];
    auto need = [&](size_t min, size_t max) {
        if (args.size() < min + 2) throw EUsageError("collections " + sub + ": missing argument");
        if (args.size() > max + 2)
            throw EUsageError("collections " + sub + ": unexpected argument " + args[max + 2]);
    };
    if ((hasUrl || hasMemo) && sub != "add-memo")
        throw EUsageError("--url and --memo go with add-memo");
    if (json && sub != "list") throw EUsageError("--json goes with list");

    TLibObj& lib = CatalogKeptToExit();
    if (sub == "list") {
        need(0, 0);
        LoadCatalogForCli(lib, catalog);
        List(lib, json);
        return 0;
    }
    ctx.LockCatalogForWriting(catalog);
    if (sub == "create") {
        need(1, 1);
        LoadCatalogForCli(lib, catalog);
        Create(lib, args[2]);
    } else if (sub == "add") {
        need(2, SIZE_MAX - 4);
        LoadCatalogForCli(lib, catalog);
        TTreeNode* parent = NodeOf(lib, args[2]);
        std::vector<TCatalogTarget> targets;
        for (size_t i = 3; i < args.size(); ++i) {
            targets.push_back(clipath::FindTarget(lib, args[i]));
        }
        for (const TCatalogTarget& t : targets)
            LinkCatalogTarget(lib, parent, t);
    } else if (sub == "add-memo") {
        need(2, 2);
        LoadCatalogForCli(lib, catalog);
        AddMemo(lib, ParentOf(lib, args[2]), args[3].empty() ? "" : clipath::ArgName(args[3]),
                clipath::ArgText(url), clipath::ArgText(memo), -1,
                GetMessageText("infoDefNewMemo"));
    } else if (sub == "rename") {
        need(2, 2);
        if (args[3].empty()) throw EUsageError("a collection needs a name");
        const std::string name = clipath::ArgName(args[3]);
        LoadCatalogForCli(lib, catalog);
        TTreeNode* node = NodeOf(lib, args[2]);
        CheckFreeName(lib, node->Parent(), name, node);
        lib.RenameColNode(node, name);
    } else if (sub == "move") {
        need(2, 2);
        LoadCatalogForCli(lib, catalog);
        TTreeNode* moving = NodeOf(lib, args[2]);
        TTreeNode* target = ParentOf(lib, args[3]);
        if (!CanDropColNode(moving, target))
            throw std::runtime_error("a collection cannot go onto itself or below itself: " +
                                     args[3]);
        if (moving->Parent() != target) CheckFreeName(lib, target, moving->Text());
        if (!lib.MoveColNode(moving, target))
            throw std::runtime_error("a collection cannot go onto itself or below itself: " +
                                     args[3]);
    } else if (sub == "delete") {
        need(1, SIZE_MAX - 4);
        LoadCatalogForCli(lib, catalog);
        std::vector<TTreeNode*> nodes;
        for (size_t i = 2; i < args.size(); ++i)
            nodes.push_back(NodeOf(lib, args[i]));
        lib.DeleteColNodes(nodes);
    } else {
        std::string near =
            NearestName(sub, {"list", "create", "add", "add-memo", "rename", "move", "delete"});
        throw EUsageError("collections: unknown subcommand " + sub +
                          (near.empty() ? std::string() : "; did you mean " + near + "?") +
                          " (list, create, add, add-memo, rename, move, delete)");
    }
    SaveCatalogQuietly(lib, catalog);
    return 0;
}

const TCommandDef& CollectionsCommand() {
    static const TCommandDef def{
        "collections",
        "list, make, fill, move and delete collections",
        "A collection path is written as a catalog path (Shelf\\Films; see 'Catalog paths' in "
        "'tamblix-cli --help'); \"\\\" alone is the top level. A collection's name is unique "
        "among its siblings: create, rename and move refuse a name that is there. "
        "Subcommands:\n\n"
        "list CATALOG: every collection node: path, kind, linked catalog path, URL.\n\n"
        "create CATALOG PATH: a collection, with the missing ones above it.\n\n"
        "add CATALOG PATH CATALOGPATH...: links to volumes, folders or files (CD1, CD1\\music, "
        "CD1\\music\\a.mp3).\n\n"
        "add-memo CATALOG PATH CAPTION: a memo item under PATH.\n\n"
        "rename CATALOG PATH NEWNAME.\n\n"
        "move CATALOG PATH NEWPARENT: refused onto itself or below itself, as in the window.\n\n"
        "delete CATALOG PATH...: with everything below.\n\n"
        "Nothing is saved unless every argument is right.",
        {{"SUBCOMMAND", "list, create, add, add-memo, rename, move or delete"},
         {"CATALOG", "the catalog file (.txc)"},
         {"ARG", "what the subcommand takes", true, true}},
        {{"--json", TOptionKind::Flag, "", "with list: JSON Lines, one object per node", ""},
         {"--url", TOptionKind::Value, "URL", "with add-memo: the memo item's link", ""},
         {"--memo", TOptionKind::Value, "TEXT", "with add-memo: the memo item's text", ""},
         kWaitOption},
        {"collections create music.txc 'Shelf\\Jazz'",
         "collections add music.txc 'Shelf\\Jazz' 'CD1\\jazz' 'CD2\\best.flac'",
         "collections add-memo music.txc '\\' 'To buy' --url https://example.org",
         "collections move music.txc 'Shelf\\Jazz' '\\'", "collections list music.txc --json"},
        CmdCollections};
    return def;
}
