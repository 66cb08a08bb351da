#include "catalog/catalog_file.h"
#include "catalog/catalog_lock.h"
#include "catalog/scan_ops.h"
#include "cli/cli_context.h"
#include "handlers/handlers.h"
#include "mounts/mount_match.h"
#include "mounts/mount_watcher.h"
#include "platform/volume_info.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>

namespace {

volatile std::sig_atomic_t gWatchStop = 0;
TMountWatcher* gWatcher = nullptr;

extern "C" void OnWatchSignal(int) {
    gWatchStop = 1;
    if (gWatcher) gWatcher->Wake(); // a write to a pipe: safe here
}

// SIGTERM (systemd's stop) and Ctrl+C end the watch between events, or
// abandon an update under way.
class TStopSignals {
public:
    explicit TStopSignals(TMountWatcher& watcher) {
        gWatchStop = 0;
        gWatcher = &watcher;
        struct sigaction sa {};
        sa.sa_handler = OnWatchSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, &oldTerm_);
        sigaction(SIGINT, &sa, &oldInt_);
    }
    ~TStopSignals() {
        sigaction(SIGTERM, &oldTerm_, nullptr);
        sigaction(SIGINT, &oldInt_, nullptr);
        gWatcher = nullptr;
    }
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

private:
    struct sigaction oldTerm_ {};
    struct sigaction oldInt_ {};
};

void Say(const std::string& line) {
    std::cerr << line << std::endl; // one line per event, at once: the journal reads it
}

std::string Shown(const std::string& text) {
    return CliField(text);
}

std::string Described(const TMountedFs& fs) {
    std::string s = Shown(fs.MountPoint) + " (" + Shown(fs.Device) + ", " + Shown(fs.FileSystem);
    if (!fs.Label.empty()) s += ", label " + Shown(fs.Label);
    if (!fs.Serial.empty()) s += ", serial " + fs.Serial;
    return s + ")";
}

// What the watch does while it runs: the catalogs, what to do with a match,
// and the changes read while an update was under way, told after it.
struct TWatch {
    explicit TWatch(TCliContext& ctx) : Ctx(ctx) {}
    TCliContext& Ctx;
    std::vector<std::string> Catalogs;
    bool Update = false;
    bool DeleteMissing = false;
    TMountWatcher Watcher{ProbeMountedFs};
    std::vector<TMountChange> Backlog;
    // The mount being updated, and whether it went away meanwhile.
    const TMountedFs* Updating = nullptr;
    bool Gone = false;

    // Reads the table; the changes wait in the backlog for the main loop.
    void Absorb() {
        for (TMountChange& c : Watcher.Refresh()) {
            if (!c.Mounted && Updating && SameMount(c.Fs, *Updating)) Gone = true;
            Backlog.push_back(std::move(c));
        }
    }
    bool MustStop() { return gWatchStop != 0 || Gone; }

    void Handle(const TMountChange& change);
    void UpdateIn(const std::string& catalog, const TMountedFs& fs);
};

// The update's progress: nothing on the terminal; it stops on SIGTERM and
// when the filesystem being read is unmounted.
class TWatchProgress : public TNullProgress {
public:
    explicit TWatchProgress(TWatch& watch) : watch_(watch) {}
    bool StopRequested() const override {
        if (gWatchStop) return true;
        // Asked for every entry: the table is looked at a few hundred times a second at most.
        auto now = std::chrono::steady_clock::now();
        if (now >= next_) {
            next_ = now + std::chrono::milliseconds(5);
            if (watch_.Watcher.Wait(0)) watch_.Absorb();
        }
        return watch_.Gone;
    }

private:
    TWatch& watch_;
    mutable std::chrono::steady_clock::time_point next_{};
};

std::unique_ptr<TLibObj> LoadQuietly(const std::string& path) {
    auto lib = std::make_unique<TLibObj>();
    TNullProgress quiet;
    if (!KnownVersionFile(path)) throw EMessageError("errUnknownFile", path);
    LoadFromFile(*lib, path, false, quiet);
    return lib;
}

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string NamesOf(const std::vector<TTreeNode*>& nodes) {
    std::string s;
    for (const TTreeNode* n : nodes)
        s += (s.empty() ? "" : ", ") + Shown(FolderOf(n)->Caption);
    return s;
}

void TWatch::Handle(const TMountChange& change) {
    const TMountedFs& fs = change.Fs;
    if (!change.Mounted) {
        Say("unmounted: " + Described(fs));
        return;
    }
    Say("mounted: " + Described(fs));
    if (fs.Serial.empty()) return; // nothing to match it by
    for (const std::string& catalog : Catalogs) {
        std::vector<TTreeNode*> matches;
        std::unique_ptr<TLibObj> lib;
        try {
            lib = LoadQuietly(catalog);
            matches = MatchingVolumes(*lib, fs);
        } catch (const std::exception& e) {
            Say("cannot read " + Shown(catalog) + ": " + ErrorText(e));
            continue;
        }
        const std::string in = " in " + Shown(FileNameOf(catalog));
        if (matches.empty()) continue;
        if (matches.size() > 1) {
            Say(NamesOf(matches) + in + " are all this disc, mounted at " + Shown(fs.MountPoint) +
                ": not updated; give the volumes their own titles to tell them apart");
            continue;
        }
        Say(NamesOf(matches) + in + " is mounted at " + Shown(fs.MountPoint));
        lib.reset();
        if (Update && !MustStop()) UpdateIn(catalog, fs);
    }
}

void TWatch::UpdateIn(const std::string& catalog, const TMountedFs& fs) {
    const std::string where = Shown(FileNameOf(catalog));
    Updating = &fs;
    Gone = false;
    struct TEnd {
        TWatch* w;
        ~TEnd() { w->Updating = nullptr; }
    } end{this};
    std::string title;
    try {
        // The lock first, then the catalog as it is now: its volume may have
        // changed since the match.
        TCatalogLock lock = TCatalogLock::Acquire(catalog, Ctx.LockWaitMs());
        std::unique_ptr<TLibObj> lib = LoadQuietly(catalog);
        std::vector<TTreeNode*> matches = MatchingVolumes(*lib, fs);
        if (matches.size() != 1) {
            Say("not updated: the volume is no longer alone in " + where + " to match " +
                Shown(fs.MountPoint));
            return;
        }
        title = Shown(FolderOf(matches[0])->Caption);
        Absorb();
        if (MustStop()) {
            Say("update of " + title + " in " + where + " abandoned: " +
                (Gone ? Shown(fs.MountPoint) + " was unmounted" : std::string("stopping")));
            return;
        }
        Say("updating " + title + " in " + where + " from " + Shown(fs.MountPoint));
        THandlerList handlers;
        LoadHandlers(Ctx, handlers);
        TWatchProgress progress(*this);
        TVolumeScanner scanner(*lib, &handlers, progress);
        scanner.Options.FolderResult = nametext::DiskToCaption(fs.MountPoint);
        scanner.Options.Serial = fs.Serial;
        scanner.Options.DeleteNotFound = DeleteMissing;
        auto start = std::chrono::steady_clock::now();
        {
            TIdleIoPriority idle;
            scanner.UpdateVolume(matches[0]);
        }
        // Whatever was read after an unmount is no picture of the disc.
        Absorb();
        if (scanner.Stopped() || MustStop()) {
            Say("update of " + title + " in " + where + " abandoned: " +
                (Gone ? Shown(fs.MountPoint) + " was unmounted" : std::string("stopping")) +
                "; the catalog is as it was");
            return;
        }
        TNullProgress quiet;
        SaveToFile(*lib, catalog, quiet);
        Say("updated " + title + " in " + where + ": " + ScanSummary(*lib, scanner.Errors, start));
    } catch (const std::exception& e) {
        Say("update of " + (title.empty() ? Shown(fs.MountPoint) : title) + " in " + where +
            " failed: " + ErrorText(e));
    }
}

} // namespace

int CmdWatch(TCliContext& ctx) {
    TWatch watch{ctx};
    watch.Update = ctx.TakeFlag("--update");
    watch.DeleteMissing = ctx.TakeFlag("--delete-missing");
    ctx.TakeLockWait();
    watch.Catalogs = ctx.Positionals(1, SIZE_MAX);
    if (watch.DeleteMissing && !watch.Update)
        throw EUsageError("--delete-missing deletes during an update: give --update with it");
    // A wrong path is told now, not at the first disc.
    for (const std::string& catalog : watch.Catalogs)
        LoadQuietly(catalog);
    TStopSignals signals(watch.Watcher);
    if (!watch.Watcher.Start()) throw std::runtime_error("cannot read the mount table");
    for (const TMountedFs& fs : watch.Watcher.Current()) {
        if (fs.Serial.empty()) continue;
        for (const std::string& catalog : watch.Catalogs) {
            try {
                auto lib = LoadQuietly(catalog);
                auto matches = MatchingVolumes(*lib, fs);
                if (!matches.empty())
                    Say(NamesOf(matches) + " in " + Shown(FileNameOf(catalog)) + " is mounted at " +
                        Shown(fs.MountPoint));
            } catch (const std::exception& e) {
                Say("cannot read " + Shown(catalog) + ": " + ErrorText(e));
            }
        }
    }
    Say("watching for mounts");
    while (!gWatchStop) {
        if (watch.Backlog.empty()) {
            if (!watch.Watcher.Wait(-1)) continue;
            watch.Absorb();
        }
        std::vector<TMountChange> changes;
        changes.swap(watch.Backlog);
        for (const TMountChange& c : changes) {
            if (gWatchStop) break;
            watch.Handle(c);
        }
    }
    Say("stopped");
    return 0;
}

const TCommandDef& WatchCommand() {
    static const TCommandDef def{
        "watch",
        "tell when a catalogued disc is mounted, and update it",
        "Follows the mounted filesystems until stopped (Ctrl+C, or SIGTERM from a service "
        "manager) and writes a line to standard error for each mount and unmount, and for each "
        "volume of the catalogs that a new mount holds: the same serial number, and the label "
        "as the volume's title. With --update that volume is read again at the lowest disk "
        "priority, holding the catalog's lock while it writes. A disc catalogued more than once "
        "is only named, never updated. An update is abandoned, and the catalog left as it was, "
        "when the disc is unmounted during it or the watch is stopped; with --delete-missing "
        "nothing is deleted from an empty disc or another one.",
        {{"CATALOG", "a catalog file (.txc)", false, true}},
        {{"--update", TOptionKind::Flag, "", "update a volume when its disc is mounted", ""},
         {"--delete-missing", TOptionKind::Flag, "",
          "with --update: remove what is gone from the disc", ""},
         kWaitOption},
        {"watch music.txc films.txc", "watch music.txc --update --delete-missing"},
        CmdWatch};
    return def;
}
