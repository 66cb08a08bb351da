#include "catalog/catalog_file.h"
#include "catalog/scan_ops.h"
#include "cli/cli_context.h"
#include "cli/cli_path.h"
#include "cli/cli_progress.h"
#include "files/volume_info.h"
#include "handlers/handlers.h"
#include "mounts/mount_watcher.h"
#include "settings/message_table.h"
#include "settings/progress_state.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {

uint16_t ParseLevels(const std::string& text) {
    try {
        size_t used = 0;
        long v = std::stol(text, &used);
        if (used == text.size() && v >= 0 && v <= 65535) return static_cast<uint16_t>(v);
    } catch (const std::exception&) {
    }
    throw EUsageError("--levels needs a number from 0 to 65535");
}

std::string AbsoluteFolder(const std::string& path) {
    std::filesystem::path p = std::filesystem::absolute(path).lexically_normal();
    std::string s = p.string();
    if (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// The filesystem a scan reads, watched so that the scan stops when it is
// unmounted: what was read after that is no picture of the disc.
class TScanMount {
public:
    explicit TScanMount(const std::string& folder) : guard_(Canonical(folder)) {}
    // The scan's progress, stopping when the filesystem goes.
    IProgress& Progress(IProgress& inner) {
        progress_.emplace(inner, [this] { return guard_.Gone(); });
        return *progress_;
    }
    // Fails when the filesystem went away during the scan, before anything is saved.
    void CheckStillMounted(const std::string& what) {
        if (!guard_.Gone(true)) return;
        throw std::runtime_error(CliField(guard_.Guarded()->MountPoint) +
                                 " was unmounted during the " + what +
                                 "; nothing was saved, the catalog is as it was.");
    }

private:
    static std::string Canonical(const std::string& folder) {
        std::error_code ec;
        std::filesystem::path p = std::filesystem::canonical(folder, ec);
        return ec ? folder : p.string();
    }
    TMountGuard guard_;
    std::optional<TStopWhenProgress> progress_;
};

} // namespace

// The options both scan commands share.
std::vector<TOptionDef> ScanDefaultOptions() {
    return {
        {"--levels", TOptionKind::Value, "N",
         "folder levels to read, the root being 1 (0 to 65535)", "0: every level"},
        {"--folders-only", TOptionKind::Flag, "", "record folders only, no files", ""},
        {"--category", TOptionKind::Value, "TEXT",
         "category of the volume (with --to-folders, --to-files: below it too)", ""},
        {"--comments", TOptionKind::Value, "TEXT",
         "comments of the volume (with --to-folders, --to-files: below it too)", ""},
        {"--to-folders", TOptionKind::Flag, "", "give category and comments to folders too", ""},
        {"--to-files", TOptionKind::Flag, "", "give category and comments to files too", ""},
        {"--thumbnails", TOptionKind::Flag, "",
         "keep a thumbnail of every photo and video beside the catalog (CATALOG-thumbs)",
         "as the Thumbnails handler is set (off unless turned on)"}};
}

void TakeScanDefaults(TCliContext& ctx, TScanOptions& o, bool& thumbnails) {
    thumbnails = ctx.TakeFlag("--thumbnails");
    std::string levels;
    if (ctx.TakeOption("--levels", levels)) o.Levels = ParseLevels(levels);
    o.FoldersOnly = ctx.TakeFlag("--folders-only");
    if (ctx.TakeOption("--category", o.DefaultCategory))
        o.DefaultCategory = clipath::ArgText(o.DefaultCategory);
    if (ctx.TakeOption("--comments", o.DefaultComments))
        o.DefaultComments = clipath::ArgText(o.DefaultComments);
    o.DefaultsToFolders = ctx.TakeFlag("--to-folders");
    o.DefaultsToFiles = ctx.TakeFlag("--to-files");
}

void LoadHandlers(TCliContext& ctx, THandlerList& handlers) {
    try {
        handlers.LoadFromSettings(ctx.Settings());
    } catch (const EMessageError&) {
        handlers.SetDefaults();
    }
}

namespace {

// The stored handlers, with Thumbnails on when the command asks for it.
void LoadScanHandlers(TCliContext& ctx, THandlerList& handlers, bool thumbnails) {
    LoadHandlers(ctx, handlers);
    if (thumbnails) handlers.Check(handlers.Find(kThumbnailsTitle), true);
}

} // namespace

// The summary line of the message pane (counted as the window counts),
// and how many entries or folders could not be read.
std::string ScanSummary(const TLibObj& lib, int64_t errors,
                        std::chrono::steady_clock::time_point start) {
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const TCatalogTotals& t = lib.Totals;
    return TProgressState::SummaryLine(
               TProgressCounts{lib.VolumeCount, t.Folders, t.Files, t.Bytes, t.Members},
               std::to_string(t.Bytes), secs) +
           " Errors: " + std::to_string(errors);
}

// Exit status of a scan that finished but could not read everything.
constexpr int kExitReadErrors = 3;

// The title of a new volume without --title: the label of a mounted
// filesystem, else the folder's own name.
std::string DefaultTitle(const std::string& root) {
    TVolumeInfo info = GetVolumeInfo(root);
    std::string r = root, mount = info.RootPath;
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    while (mount.size() > 1 && mount.back() == '/')
        mount.pop_back();
    if (!info.Label.empty() && r == mount) return info.Label;
    size_t cut = r.rfind('/');
    std::string name = cut == std::string::npos ? r : r.substr(cut + 1);
    return name.empty() ? r : name;
}

// A second volume of one name makes that name ambiguous: asked on a
// terminal, refused without one unless --yes.
void AskSameTitle(const TLibObj& lib, const std::string& title, TCliQuestions& questions) {
    if (title.empty()) return;
    const std::string caption = nametext::DiskToCaption(title); // as the volume will hold it
    const size_t count = clipath::NamedChildren(lib.Tree, nullptr, caption).size();
    if (count == 0) return;
    const std::string name = clipath::WrittenName(caption);
    const std::string text = "a volume named " + name + " is already in the catalog; " + name +
                             "#1 to " + name + "#" + std::to_string(count + 1) +
                             " will tell them apart.";
    if (questions.Ask("", "A" + text.substr(1) + " Add it all the same?", TButtons::YesNo) ==
        TAnswer::Yes)
        return;
    if (TCliQuestions::Interactive()) throw EMessageError("infoCancel");
    throw std::runtime_error(text + " There is no terminal to ask: --yes adds it all the same, "
                                    "--title gives it another name.");
}

int CmdScan(TCliContext& ctx) {
    TScanOptions o;
    std::string title, serial;
    bool hasTitle = ctx.TakeOption("--title", title);
    bool hasSerial = ctx.TakeOption("--serial", serial);
    if (ctx.TakeOption("--location", o.DefaultLocation))
        o.DefaultLocation = clipath::ArgText(o.DefaultLocation);
    bool thumbnails = false;
    TakeScanDefaults(ctx, o, thumbnails);
    o.SkipSerialCheck = ctx.TakeFlag("--no-serial-check");
    bool yes = ctx.TakeFlag("--yes");
    ctx.TakeLockWait();
    auto args = ctx.Positionals(2, 2);
    const std::string catalog = args[0];
    std::error_code ec;
    if (!std::filesystem::is_directory(args[1], ec)) throw EMessageError("errFNF", args[1]);
    const std::string root = AbsoluteFolder(args[1]);
    o.FolderResult = nametext::DiskToCaption(root);
    o.TitleResult = hasTitle ? title : DefaultTitle(root);
    o.Serial = hasSerial ? clipath::ArgText(serial) : GetVolumeSerial(root);

    TLibObj& lib = CatalogKeptToExit();
    ctx.LockCatalogForWriting(catalog);
    LoadCatalogOrNew(lib, catalog);
    THandlerList handlers;
    LoadScanHandlers(ctx, handlers, thumbnails);
    TCliProgress progress;
    progress.Quiet = true; // the outcome is told after the save
    progress.BufferLog = true;
    TCliQuestions questions(yes ? TAnswer::Yes : TAnswer::Cancel);
    AskSameTitle(lib, o.TitleResult, questions);
    TScanMount mount(root);
    TVolumeScanner scanner(lib, &handlers, mount.Progress(progress));
    scanner.Options = o;
    auto start = std::chrono::steady_clock::now();
    TTreeNode* vol = nullptr;
    try {
        vol = scanner.AddVolume(questions);
    } catch (const EMessageError& e) {
        mount.CheckStillMounted("scan");
        if (e.Key != "infoCancel" || !scanner.DuplicateNode || questions.Interactive()) throw;
        throw std::runtime_error("a volume with serial " + o.Serial + " from " + o.FolderResult +
                                 " is already in the catalog (" +
                                 clipath::WrittenNodeName(scanner.DuplicateNode) +
                                 "); there is no terminal to ask: --yes adds it again, "
                                 "--no-serial-check skips this check");
    }
    mount.CheckStillMounted("scan");
    if (scanner.Stopped() || !vol) throw EMessageError("infoCancel");
    SaveCatalogQuietly(lib, catalog);
    progress.Flush();
    std::cerr << GetMessageText("msgsAdded", nametext::DiskToCaption(root)) << '\n'
              << ScanSummary(lib, scanner.Errors, start) << '\n';
    return scanner.Errors > 0 ? kExitReadErrors : 0;
}

int CmdUpdate(TCliContext& ctx) {
    TScanOptions o;
    std::string source;
    bool hasSource = ctx.TakeOption("--source", source);
    o.DeleteNotFound = ctx.TakeFlag("--delete-missing");
    o.UseRealSource = !ctx.TakeFlag("--defaults-only");
    o.Force = ctx.TakeFlag("--force");
    bool thumbnails = false;
    TakeScanDefaults(ctx, o, thumbnails);
    ctx.TakeLockWait();
    auto args = ctx.Positionals(2, 2);
    // Without a rescan nothing is seen, so nothing could be told gone.
    if (!o.UseRealSource && o.DeleteNotFound)
        throw EUsageError("--defaults-only reads nothing, so --delete-missing cannot go with it");
    if (!o.UseRealSource && hasSource)
        throw EUsageError("--defaults-only reads nothing, so --source cannot go with it");
    TLibObj& lib = CatalogKeptToExit();
    ctx.LockCatalogForWriting(args[0]);
    LoadCatalogForCli(lib, args[0]);
    TTreeNode* node = clipath::FindFolder(lib, args[1]);
    if (hasSource) {
        std::error_code ec;
        if (!std::filesystem::is_directory(source, ec)) throw EMessageError("errFNF", source);
        o.FolderResult = nametext::DiskToCaption(AbsoluteFolder(source));
    } else {
        o.FolderResult = GetSourcePath(FolderOf(node));
        if (o.UseRealSource && !IsAbsoluteSource(o.FolderResult))
            throw std::runtime_error(ErrorText(EMessageError("errNoSourceFolder", args[1])) +
                                     " Give it with --source FOLDER.");
    }
    if (o.UseRealSource) o.Serial = GetVolumeSerial(nametext::CaptionToDisk(o.FolderResult));
    THandlerList handlers;
    LoadScanHandlers(ctx, handlers, thumbnails);
    TCliProgress progress;
    progress.Quiet = true; // the outcome is told after the save
    progress.BufferLog = true;
    std::optional<TScanMount> mount;
    if (o.UseRealSource) mount.emplace(nametext::CaptionToDisk(o.FolderResult));
    TVolumeScanner scanner(lib, &handlers, mount ? mount->Progress(progress) : progress);
    scanner.Options = o;
    auto start = std::chrono::steady_clock::now();
    try {
        scanner.UpdateVolume(node);
    } catch (const EMessageError& e) {
        if (mount) mount->CheckStillMounted("update");
        if (e.Key != "errNotSameMedium") throw;
        throw std::runtime_error(ErrorText(e) + " Use --force to update anyway.");
    }
    if (mount) mount->CheckStillMounted("update");
    if (scanner.Stopped()) throw EMessageError("infoCancel");
    SaveCatalogQuietly(lib, args[0]);
    progress.Flush();
    if (!o.UseRealSource) {
        std::cerr << "Applied the defaults to " << CliField(args[1])
                  << "; nothing was read from the source.\n";
        return 0;
    }
    std::cerr << GetMessageText("msgsUpdated", o.FolderResult) << '\n'
              << ScanSummary(lib, scanner.Errors, start) << '\n';
    return scanner.Errors > 0 ? kExitReadErrors : 0;
}

const TCommandDef& ScanCommand() {
    static const TCommandDef def = [] {
        TCommandDef d{
            "scan",
            "add a disc or folder as a new volume",
            "Reads every folder and file below ROOT, with tags and archive members as the "
            "handlers say, and adds it to the catalog as a new volume; the catalog is made when "
            "it does not exist. The volume is titled with --title, else with the label of a "
            "mounted filesystem, else with the folder's name. A volume whose serial number the "
            "catalog already has is refused unless --yes (or a terminal answer) says to add it "
            "again; so is a volume of a name the catalog already has. A disc unmounted during "
            "the scan fails it, and the catalog is left as it was.\n\nExit code 3: the catalog "
            "was saved but some folders or files could not "
            "be read.",
            {{"CATALOG", "the catalog file (.txc); made when missing"},
             {"ROOT", "the folder or mount point to read"}},
            {{"--title", TOptionKind::Value, "TEXT", "the volume's title",
              "the label, else the folder's name"},
             {"--serial", TOptionKind::Value, "TEXT", "the volume's serial number",
              "the filesystem's"},
             {"--location", TOptionKind::Value, "TEXT", "where the disc is kept", ""}},
            {"scan music.txc /media/cdrom --title CD1 --category music"},
            CmdScan};
        auto shared = ScanDefaultOptions();
        d.Options.insert(d.Options.end(), shared.begin(), shared.end());
        d.Options.push_back(kWaitOption);
        d.Options.insert(
            d.Options.end(),
            {{"--no-serial-check", TOptionKind::Flag, "",
              "add the volume even when its serial number is already there", ""},
             {"--yes", TOptionKind::Flag, "",
              "answer yes when asked to add a volume again or under a name already there", ""}});
        return d;
    }();
    return def;
}

const TCommandDef& UpdateCommand() {
    static const TCommandDef def = [] {
        TCommandDef d{
            "update",
            "rescan a volume",
            "Reads the volume's source folder again and brings the catalog in line with it: new "
            "entries are added, changed ones updated. Entries that are gone stay unless "
            "--delete-missing is given; deleting is refused for an empty source or another disc "
            "unless --force. A disc unmounted during the update fails it, and the catalog is "
            "left as it was.\n\nExit code 3: the catalog was saved but some folders or files "
            "could not be read.",
            {{"CATALOG", "the catalog file (.txc)"},
             {"VOLUME", "the volume or a folder as a catalog path (CD1, CD1\\music\\)"}},
            {{"--source", TOptionKind::Value, "FOLDER", "read this folder instead",
              "the folder the volume was read from"},
             {"--delete-missing", TOptionKind::Flag, "", "remove what is gone from the source", ""},
             {"--defaults-only", TOptionKind::Flag, "",
              "read nothing: only give the volume the --category and --comments defaults", ""},
             {"--force", TOptionKind::Flag, "", "update even an empty source or another disc", ""}},
            {"update music.txc CD1 --delete-missing"},
            CmdUpdate};
        auto shared = ScanDefaultOptions();
        d.Options.insert(d.Options.end(), shared.begin(), shared.end());
        d.Options.push_back(kWaitOption);
        return d;
    }();
    return def;
}
