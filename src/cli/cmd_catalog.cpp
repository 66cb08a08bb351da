#include "catalog/catalog_file.h"
#include "catalog/catalog_thumbs.h"
#include "cli/cli_context.h"
#include "cli/cli_json.h"
#include "cli/cli_path.h"
#include "cli/cli_progress.h"
#include "settings/message_table.h"
#include "text/date_time.h"
#include "text/message_error.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

void PrintTree(const TTree& tree) {
    tree.ForEach([](TTreeNode* n) {
        std::cout << std::string(static_cast<size_t>(n->Level()) * 2, ' ')
                  << clipath::WrittenNodeName(n) << '\n';
    });
}

std::string EntryTypeText(const TLibFolderItem* e) {
    if (e->IsFolder && !IsArchiveEntry(e)) return "folder";
    TLibFolderItem probe;
    probe.Caption = e->Caption;
    return GetEntryType(&probe);
}

} // namespace

TLibObj& CatalogKeptToExit() {
    static auto* kept = new std::vector<std::unique_ptr<TLibObj>>;
    kept->push_back(std::make_unique<TLibObj>());
    return *kept->back();
}

void LoadCatalogForCli(TLibObj& lib, const std::string& path) {
    TCliProgress progress;
    progress.Quiet = true;
    TCliQuestions questions;
    if (!KnownVersionFile(path)) throw EMessageError("errUnknownFile", path);
    LoadFromFile(lib, path, false, progress, &questions);
}

void LoadCatalogOrNew(TLibObj& lib, const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        LoadCatalogForCli(lib, path);
    else
        lib.FileName = path;
}

bool KnownVersionFile(const std::string& path) {
    std::string v = ReadCatalogVersion(path);
    return v == kCurrentVersion || v == kOldVersion;
}

int CmdNew(TCliContext& ctx) {
    bool force = ctx.TakeFlag("--force");
    ctx.TakeLockWait();
    auto args = ctx.Positionals(1, 1);
    ctx.LockCatalogForWriting(args[0]);
    std::error_code ec;
    if (!force && std::filesystem::exists(args[0], ec))
        throw std::runtime_error(args[0] + " already exists; --force replaces it");
    TLibObj& lib = CatalogKeptToExit();
    TCliProgress progress;
    progress.Quiet = true;
    SaveToFile(lib, args[0], progress);
    return 0;
}

int CmdInfo(TCliContext& ctx) {
    bool json = ctx.TakeFlag("--json");
    auto args = ctx.Positionals(1, 1);
    TLibObj& lib = CatalogKeptToExit();
    std::string version = ReadCatalogVersion(args[0]);
    LoadCatalogForCli(lib, args[0]);
    if (json) {
        TJson j;
        j["version"] = version;
        j["volumes"] = lib.VolumeCount;
        j["folders"] = lib.FolderCount;
        j["files"] = lib.FileCount;
        j["size"] = lib.TotalSize;
        j["collections"] = lib.ColTree.TotalCount();
        j["categories"] = lib.Categories.Count();
        j["category"] = clipath::DisplayText(lib.Category);
        j["comments"] = clipath::DisplayText(lib.Comments);
        j["categoryNames"] = TJson::array();
        for (const std::string& name : lib.Categories.Lines())
            j["categoryNames"].push_back(clipath::DisplayText(name));
        PrintJsonLine(j);
        return 0;
    }
    std::cout << "Version: " << version << '\n'
              << "Volumes: " << lib.VolumeCount << '\n'
              << "Folders: " << lib.FolderCount << '\n'
              << "Files: " << lib.FileCount << '\n'
              << "Size: " << lib.TotalSize << '\n'
              << "Collections: " << lib.ColTree.TotalCount() << '\n'
              << "Categories: " << lib.Categories.Count() << '\n';
    return 0;
}

int CmdTree(TCliContext& ctx) {
    bool json = ctx.TakeFlag("--json");
    auto args = ctx.Positionals(1, 1);
    TLibObj& lib = CatalogKeptToExit();
    LoadCatalogForCli(lib, args[0]);
    if (json) {
        // One object per node in the text's order; "tree" says which tree.
        lib.Tree.ForEach([](TTreeNode* n) {
            TJson j{{"tree", "catalog"}, {"level", n->Level()}};
            j.update(FolderJson(FolderOf(n)));
            PrintJsonLine(j);
        });
        lib.ColTree.ForEach([](TTreeNode* n) {
            TJson j{{"tree", "collections"}, {"level", n->Level()}};
            j.update(CollectionJson(n));
            PrintJsonLine(j);
        });
        return 0;
    }
    PrintTree(lib.Tree);
    std::cout << "Collections:\n";
    PrintTree(lib.ColTree);
    return 0;
}

int CmdLs(TCliContext& ctx) {
    bool tags = ctx.TakeFlag("--tags");
    bool recursive = ctx.TakeFlag("--recursive");
    bool json = ctx.TakeFlag("--json");
    auto args = ctx.Positionals(1, 2);
    TLibObj& lib = CatalogKeptToExit();
    LoadCatalogForCli(lib, args[0]);
    if (args.size() == 1) {
        for (int i = 0; i < lib.Tree.RootCount(); ++i) {
            if (json)
                PrintJsonLine(FolderJson(FolderOf(lib.Tree.Root(i))));
            else
                std::cout << clipath::WrittenNodeName(lib.Tree.Root(i)) << '\n';
        }
        return 0;
    }
    TTreeNode* node = clipath::FindFolder(lib, args[1]);
    TCatalogThumbs thumbs(lib);
    auto list = [&](const TLibFolder* f) {
        if (json) {
            // Every field, tags included; "folder" names the listed folder.
            TJson folder;
            PutPath(folder, "folder", clipath::DisplayText(GetCatalogPath(f)),
                    clipath::WrittenFolderPath(f));
            for (const auto& e : f->Items()) {
                TJson j = folder;
                j.update(EntryJson(e.get(), EntryTypeText(e.get())));
                j["thumbnail"] = thumbs.Has(e.get());
                PrintJsonLine(j);
            }
            return;
        }
        for (const auto& e : f->Items()) {
            std::cout << clipath::WrittenName(e->Caption.view()) << '\t'
                      << CliField(EntryTypeText(e.get())) << '\t' << e->Size << '\t'
                      << FormatDateTimeISO(e->Date) << '\t' << CliField(e->Category.view()) << '\t'
                      << CliField(OneLineText(e->Comments.view(), lib.Options.NewLine)) << '\n';
            if (tags)
                for (const auto& line : e->TagInfo.Values())
                    std::cout << "  " << CliField(line) << '\n';
        }
    };
    if (!recursive) {
        list(FolderOf(node));
        return 0;
    }
    // Every folder below, depth first: its catalog path on a line of its own
    // (one column), then its entries.
    std::vector<TTreeNode*> todo{node};
    while (!todo.empty()) {
        TTreeNode* n = todo.back();
        todo.pop_back();
        if (!json) std::cout << clipath::WrittenFolderPath(FolderOf(n)) << '\n';
        list(FolderOf(n));
        for (int i = n->Count() - 1; i >= 0; --i)
            todo.push_back(n->Child(i));
    }
    return 0;
}

std::string ErrorText(const std::exception& e) {
    if (auto* m = dynamic_cast<const EMessageError*>(&e)) return GetMessageText(m->Key, m->Arg);
    return e.what();
}

const TCommandDef& NewCommand() {
    static const TCommandDef def{
        "new",
        "write an empty catalog",
        "Writes a catalog without volumes. An existing file is left alone unless --force is given.",
        {{"CATALOG", "the catalog file to write (.txc)"}},
        {{"--force", TOptionKind::Flag, "", "replace an existing file", ""}, kWaitOption},
        {"new music.txc"},
        CmdNew};
    return def;
}

const TCommandDef& InfoCommand() {
    static const TCommandDef def{
        "info",
        "print the catalog's counts",
        "Prints the catalog file's version and its numbers of volumes, folders, files, bytes, "
        "collection items and categories, one \"Name: value\" line each.",
        {{"CATALOG", "the catalog file (.txc)"}},
        {{"--json", TOptionKind::Flag, "",
          "one JSON document instead, with the catalog's category, comments and category names",
          ""}},
        {"info music.txc", "info music.txc --json"},
        CmdInfo};
    return def;
}

const TCommandDef& TreeCommand() {
    static const TCommandDef def{
        "tree",
        "print the volume tree and the collections tree",
        "Prints every volume and folder, indented by two spaces a level, then a line "
        "\"Collections:\" and the collections tree.",
        {{"CATALOG", "the catalog file (.txc)"}},
        {{"--json", TOptionKind::Flag, "",
          "JSON Lines instead: one object per node with every field, \"tree\" naming its tree",
          ""}},
        {"tree music.txc"},
        CmdTree};
    return def;
}

const TCommandDef& LsCommand() {
    static const TCommandDef def{
        "ls",
        "list the volumes, or the entries of a folder",
        "Without PATH, prints the volumes' names. With PATH, prints one tab-separated line per "
        "entry of that folder: name, type, size, date, category and comments. Names and paths "
        "are written as PATH is (see 'Catalog paths' in 'tamblix-cli --help'); the other texts "
        "are escaped as every command escapes them: \\\\, \\t, \\n, \\xNN.",
        {{"CATALOG", "the catalog file (.txc)"},
         {"PATH", "a volume or folder as a catalog path, such as CD1\\music\\", true}},
        {{"--tags", TOptionKind::Flag, "", "each entry's tag lines below it, indented", ""},
         {"--recursive", TOptionKind::Flag, "",
          "every folder below too, each after a line with its catalog path", ""},
         {"--json", TOptionKind::Flag, "",
          "JSON Lines instead: one object per volume or entry with every field, tags included, "
          "and whether the catalog keeps a thumbnail of the entry (\"thumbnail\")",
          ""}},
        {"ls music.txc", "ls music.txc 'CD1\\music\\' --tags",
         "ls music.txc 'CD1\\' --recursive --json"},
        CmdLs};
    return def;
}
