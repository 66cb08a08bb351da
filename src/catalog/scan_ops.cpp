#include "catalog/scan_ops.h"

#include "analysis/archive_io.h"
#include "analysis/file_checksum.h"
#include "analysis/handler_claims.h"
#include "analysis/handlers.h"
#include "analysis/name_text.h"
#include "analysis/string_list.h"
#include "analysis/volume_info.h"
#include "analysis/walker.h"
#include "catalog/archive_listing.h"
#include "catalog/read_ahead.h"
#include "media/media_steps.h"
#include "settings/message_error.h"
#include "settings/message_table.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// The caption of a native path's last part ("/media/cd/" gives "cd").
std::string LastPartCaption(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    auto cut = path.rfind('/');
    std::string_view last = cut == std::string_view::npos ? path : path.substr(cut + 1);
    return nametext::DiskToCaption(last.empty() ? path : last);
}

// Where the last part of a folder path ("/a/b/" or "CD\\a\\") starts.
size_t ParentLength(std::string_view path, char sep) {
    if (!path.empty() && path.back() == sep) path.remove_suffix(1);
    auto cut = path.rfind(sep);
    return cut == std::string_view::npos ? 0 : cut + 1;
}

} // namespace

unsigned TScanOptions::DefaultWalkThreads() {
    // The catalog's own work needs one core; reading folders ahead pays even on one.
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u);
}

TVolumeScanner::TVolumeScanner(TLibObj& lib, const THandlerList* handlers, IProgress& progress)
    : lib_(lib), handlers_(handlers), progress_(progress),
      claims_(handlers ? std::make_unique<THandlerClaims>(*handlers) : nullptr) {}

bool TVolumeScanner::StopNow() {
    if (!stopped_ && progress_.StopRequested()) {
        stopped_ = true;
        *stopAhead_ = true;
    }
    return stopped_;
}

void TVolumeScanner::Log(const std::string& key, const std::string& arg) {
    progress_.LogMessage(GetMessageText(key, arg));
}

bool TVolumeScanner::StatusDue() {
    // A few times a second: the status text costs a whole path.
    if ((++statusTick_ & 63) != 0) return false;
    auto now = std::chrono::steady_clock::now();
    if (now < nextStatus_) return false;
    nextStatus_ = now + std::chrono::milliseconds(100);
    return true;
}

TLibFolderItem* TVolumeScanner::FindInOrder(TLibFolder* folder, std::string_view name) {
    if (folder != cursorFolder_) {
        cursorFolder_ = folder;
        cursor_ = 0;
    }
    if (folder->SortsAfterLast(name)) return nullptr;
    return folder->FindItemFrom(name, cursor_);
}

std::string TVolumeScanner::ReadPath(const std::string& folder, const TSearchRec& rec) const {
    // Through the walk's descriptor of the folder where there is one.
    std::string p = PathInFolder(walker_ ? walker_->FolderDescriptor() : -1, rec.RealName());
    if (!p.empty()) return p;
    p = folder;
    if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
    return p + rec.RealName();
}

TTreeNode* TVolumeScanner::FindPath(const std::string& path) const {
    auto it = index_.find(path);
    return it == index_.end() ? nullptr : it->second;
}

void TVolumeScanner::IndexNode(TTreeNode* node, const std::string& path) {
    index_[path] = node;
}

bool TVolumeScanner::CheckSerialDuplicate(const std::string& serial, const std::string& rootPath,
                                          std::string& message, TTreeNode*& firstDuplicate) const {
    firstDuplicate = nullptr;
    if (!Options.CheckSerial || lib_.Tree.TotalCount() == 0 || serial.empty()) return true;
    message = GetMessageText("confSerDup", serial) + "\r\n";
    int found = 0;
    for (int i = 0; i < lib_.Tree.RootCount(); ++i) {
        TTreeNode* n = lib_.Tree.Root(i);
        TLibFolder* v = FolderOf(n);
        if (v->Serial != serial) continue;
        // The same medium: scanned from the same root, or titled with it.
        bool sameRoot = v->SourcePath == rootPath || SameText(GetCatalogPath(v), rootPath);
        if (!sameRoot) continue;
        if (!firstDuplicate) firstDuplicate = n;
        ++found;
        if (found <= 9)
            message += v->Caption + "\r\n";
        else if (found == 10)
            message += "..\r\n";
    }
    message += "\r\n" + GetMessageText("confContinue");
    return found == 0;
}

TTreeNode* TVolumeScanner::CreateVolume(const std::string& rootPath, const std::string& title,
                                        const std::string& serial) {
    auto f = std::make_unique<TLibFolder>();
    // Never cut the root's name at a "\\": on this system it is part of the name.
    f->Caption = title.empty() ? LastPartCaption(rootPath) : nametext::DiskToCaption(title);
    if (ApplyDefaults) {
        f->Location = Options.DefaultLocation;
        f->Category = Options.DefaultCategory;
        f->Comments = Options.DefaultComments;
    }
    f->SourcePath = nametext::DiskToCaption(rootPath);
    f->Serial = serial;
    volume_ = lib_.AddVolumeNode(std::move(f));
    current_ = volume_;
    archive_ = nullptr;
    index_.clear();
    IndexNode(volume_, GetCatalogPath(FolderOf(volume_)));
    return volume_;
}

void TVolumeScanner::ApplyFolderDefaults(TLibFolder* f) const {
    if (ApplyDefaults && Options.DefaultsToFolders) {
        f->Category = Options.DefaultCategory;
        f->Comments = Options.DefaultComments;
    }
}

void TVolumeScanner::ApplyEntryDefaults(TLibFolderItem* e, bool folderEntry) const {
    if (!ApplyDefaults) return;
    if (folderEntry ? Options.DefaultsToFolders : Options.DefaultsToFiles) {
        e->Category = Options.DefaultCategory;
        e->Comments = Options.DefaultComments;
    }
}

TTreeNode* TVolumeScanner::ChildFolderNode(TTreeNode* parent, const std::string& caption,
                                           bool archive) {
    if (TTreeNode* n = parent->FindChild(caption)) {
        SetArchiveMark(n, archive);
        return n;
    }
    auto f = std::make_unique<TLibFolder>();
    f->Caption = caption;
    f->IsArchive = archive;
    if (TLibFolderItem* e = FolderOf(parent)->FindItem(caption)) {
        e->IsFolder = 1;
        e->IsArchive = archive ? 1 : 0;
    }
    ApplyFolderDefaults(f.get());
    ++FoldersAdded;
    return lib_.AddFolderNode(parent, std::move(f));
}

void TVolumeScanner::EnterFolder(const std::string& folderPath, TDateTime date) {
    if (StopNow()) return;
    if (TTreeNode* n = FindPath(folderPath)) {
        current_ = n;
        if (n->Parent()) FolderOf(n)->Date = date;
        return;
    }
    std::vector<std::string> parts = nametext::SplitCatalogPath(folderPath);
    if (parts.empty() || !volume_) return;
    TTreeNode* parent = FindPath(folderPath.substr(0, ParentLength(folderPath, '\\')));
    TTreeNode* n = ChildFolderNode(parent ? parent : volume_, parts.back());
    FolderOf(n)->Date = date;
    std::string key = folderPath;
    if (key.back() != '\\') key += '\\';
    IndexNode(n, key);
    current_ = n;
}

void TVolumeScanner::AddFoundEntry(const std::string& folderPath, const std::string& name,
                                   bool step, bool isDirectory, TDateTime date, int64_t size,
                                   const std::string& realName) {
    TSearchRec rec;
    rec.Name = name;
    if (realName != name) rec.NativeName = realName;
    rec.Attr = isDirectory ? faDirectory : 0;
    rec.Time = date;
    rec.Size = size;
    AddEntryTo(current_, folderPath, rec, step);
}

void TVolumeScanner::KeepUnreadEntry(TTreeNode* node, TLibFolderItem* e) {
    e->Seen = 1;
    if (!e->IsFolder) return;
    if (TTreeNode* sub = node->FindChild(e->Caption.view())) MarkSeen(sub, true);
}

void TVolumeScanner::ReadTags(TLibFolderItem* e, const std::string& nativeFolder,
                              const std::function<std::string()>& shownPath, const TSearchRec& rec,
                              const THandlerClaims::TClaim& claim) {
    // The walk's readers may have read them already, off this thread.
    auto* ahead = walker_ ? dynamic_cast<TTagsRead*>(walker_->WorkDone()) : nullptr;
    // Readers go by the name on the disk.
    const auto& readers =
        rec.NativeName.empty() ? claim.Readers : claims_->Of(rec.NativeName).Readers;
    // Most files are claimed by nothing and had nothing: nothing changes for them.
    if (!ahead && readers.empty() && !claim.Checksum && e->TagInfo.Empty()) return;
    const std::string readPath = ReadPath(nativeFolder, rec);
    TTagsRead got = ahead ? std::move(*ahead) : ReadTagsOf(readers, readPath, rec.OnlyHoles);
    TTagInfo& fresh = got.Info;
    // A video or photo its library could not open is named in the log; the
    // scan goes on and the entry keeps its name, size and date.
    const TMediaReadFailure& failed = got.Failure;
    if (!failed.Why.empty())
        Log("msgsEntryErr", nametext::DiskToCaption(shownPath()) + ": " + failed.Why);
    // Without its reader nothing is known of the file now: what was read before stays.
    if (failed.NoReader && !e->TagInfo.Empty()) return;
    // A read cut short by Stop leaves what the catalog knew, its hash included.
    if (!ReadChecksum(e, readPath, fresh, claim.Checksum)) return;
    if (fresh.Empty() && !e->TagInfo.Empty()) {
        // Tags that cannot be read now are kept; only readable contents replace them.
        int fd = ::open(readPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            int err = errno;
            ++Errors;
            Log("msgsEntryErr", nametext::DiskToCaption(shownPath()) + ": " + std::strerror(err));
            return;
        }
        ::close(fd);
    }
    e->TagInfo = std::move(fresh);
}

bool TVolumeScanner::ReadChecksum(const TLibFolderItem* e, const std::string& readPath,
                                  TTagInfo& info, bool claimed) {
    if (!claimed) return true;
    // The bar counts bytes: a large file moves it block by block, from where
    // the files before it left it.
    const int64_t base = e->Owner ? GetVolume(e->Owner)->VolumeSize - e->Size : 0;
    checksum_.OnBlock = [&](int64_t done) {
        if (done >= static_cast<int64_t>(TFileChecksum::kBlockSize))
            progress_.StepProgress(std::string(), base + done);
        return StopNow();
    };
    std::string hash = checksum_.HashFile(readPath);
    checksum_.OnBlock = nullptr;
    if (!hash.empty()) info.SetValue(kChecksumKey, hash);
    return !checksum_.Stopped();
}

void TVolumeScanner::AddEntryTo(TTreeNode* node, const std::string& nativeFolder,
                                const TSearchRec& rec, bool step) {
    const std::string& name = rec.Name;
    // The whole path is built only for what the user sees; its length grows with depth.
    auto fullPath = [&] {
        std::string p = nativeFolder;
        if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
        return p + rec.RealName();
    };
    if (StatusDue())
        progress_.ShowStatus(nametext::DiskToCaption(fullPath()), std::string(), false);
    if (StopNow() || !node) return;
    TLibFolder* f = FolderOf(node);
    try {
        TLibFolderItem* e = FindInOrder(f, name);
        ++EntriesSeen;
        if (rec.Error != 0) {
            // Known by name only: what the catalog knew of it stays.
            if (e) return KeepUnreadEntry(node, e);
            auto item = std::make_unique<TLibFolderItem>();
            item->Caption = name;
            item->IsFolder = rec.IsDirectory() ? 1 : 0;
            item->Seen = 1;
            if (lib_.AddEntry(f, std::move(item)) && !rec.IsDirectory()) ++FilesAdded;
            return;
        }
        if (rec.IsDirectory()) {
            if (!e) {
                auto item = std::make_unique<TLibFolderItem>();
                item->Caption = name;
                item->IsFolder = 1;
                e = lib_.AddEntry(f, std::move(item));
            } else if (!e->IsFolder || e->Size != 0 || e->IsArchive) {
                // A file (or an archive) that became a folder.
                lib_.SetEntrySize(e, 0);
                e->TagInfo.Clear();
            }
            if (!e) return;
            e->IsFolder = 1;
            e->IsArchive = 0;
            e->Seen = 1;
            e->Date = rec.Time; // a rescan shows the folder's time as it is now
            ApplyEntryDefaults(e, true);
            // Below the level limit nothing was walked, so nothing there is gone.
            if (Options.Levels != 0 && !walkStack_.empty() && walkStack_.size() >= Options.Levels)
                if (TTreeNode* sub = node->FindChild(name)) MarkSeen(sub, true);
            return;
        }
        // Only regular files are opened; links are never followed, FIFOs never read.
        const bool regular = (rec.Attr & (faSysFile | faSymLink)) == 0;
        // The archive handlers' extension lists decide; only a plain file is
        // ever read as an archive (never a FIFO, device or link).
        const THandlerClaims::TClaim* claim = regular && claims_ ? &claims_->Of(name) : nullptr;
        TArchiveKind kind = claim ? claim->Archive : TArchiveKind::None;
        // The walk's readers may have listed it already, off this thread.
        TArchiveRead* listed = kind != TArchiveKind::None && walker_
                                   ? dynamic_cast<TArchiveRead*>(walker_->WorkDone())
                                   : nullptr;
        if (kind != TArchiveKind::None &&
            !(listed ? listed->Plain : archiveio::IsPlainFile(ReadPath(nativeFolder, rec))))
            kind = TArchiveKind::None;
        const bool isArchive = kind != TArchiveKind::None;
        if (e && e->IsFolder && (e->Size == 0 || !e->IsArchive || !isArchive) &&
            node->FindChild(name)) {
            // A folder (or an archive no longer read as one) that became a file:
            // its node and everything below it are gone from the disk.
            lib_.DeleteEntries(f, {e}, false);
            e = nullptr;
        }
        const bool isNew = e == nullptr;
        if (isNew) {
            auto fresh = std::make_unique<TLibFolderItem>();
            fresh->Caption = name;
            fresh->Size = rec.Size;
            fresh->IsFolder = isArchive ? 1 : 0;
            ApplyEntryDefaults(fresh.get(), isArchive);
            e = lib_.AddEntry(f, std::move(fresh));
            if (!e) return;
            ++FilesAdded;
        } else {
            // A file found again with another size keeps the totals right.
            lib_.SetEntrySize(e, rec.Size);
            e->IsFolder = isArchive ? 1 : 0;
        }
        e->IsArchive = isArchive ? 1 : 0;
        e->Seen = 1;
        e->Date = rec.Time;
        if (isArchive) {
            if (!isNew) ApplyEntryDefaults(e, true);
            e->TagInfo.Clear();
            // An archive is a file too: its copies are found by content as well.
            ReadChecksum(e, ReadPath(nativeFolder, rec), e->TagInfo, claim->Checksum);
            TTreeNode* arch = ChildFolderNode(node, name, true);
            archive_ = arch;
            const std::string shown = nametext::DiskToCaption(fullPath());
            if (listed && !listed->Partial)
                FileArchiveRead(*listed, shown);
            else
                ReadArchive(ReadPath(nativeFolder, rec), shown, kind);
        } else if (handlers_) {
            if (!isNew) ApplyEntryDefaults(e, false);
            if (claim)
                ReadTags(e, nativeFolder, fullPath, rec, *claim);
            else
                e->TagInfo.Clear();
        }
        if (step) progress_.StepProgress(std::string(), GetVolume(f)->VolumeSize);
    } catch (const std::exception&) {
        ++Errors;
        Log("msgsFileErr", nametext::DiskToCaption(fullPath()));
    }
}

void TVolumeScanner::ReadArchive(const std::string& path, const std::string& shown,
                                 TArchiveKind kind) {
    TArchiveSink sink;
    sink.OnMember = [&](const TArchiveMember& m) { AddArchiveMember(m); };
    sink.OnNote = [&](TArchiveNote&& note) { LogArchiveNote(note, path, shown); };
    sink.Stop = [&] { return StopNow(); };
    ListArchive(path, kind, sink);
}

void TVolumeScanner::FileArchiveRead(const TArchiveRead& listed, const std::string& shown) {
    for (const TArchiveMember& m : listed.Members)
        AddArchiveMember(m);
    for (const TArchiveNote& note : listed.Notes)
        LogArchiveNote(note, listed.Path, shown);
}

void TVolumeScanner::LogArchiveNote(const TArchiveNote& note, const std::string& given,
                                    const std::string& shown) {
    if (note.Error) ++Errors;
    Log(note.Key, note.ShownArg(given, shown));
}

void TVolumeScanner::AddArchiveMember(const TArchiveMember& member) {
    if (member.IsFolder() || member.FileName.empty() || !archive_) return;
    TLibFolder* f = FolderOf(archive_);
    TLibFolderItem* e = f->FindItem(member.FileName);
    if (!e) {
        auto item = std::make_unique<TLibFolderItem>();
        item->Caption = member.FileName;
        item->Size = member.Size;
        item->Date = member.Date;
        item->Seen = 1;
        lib_.AddEntry(f, std::move(item));
        return;
    }
    e->Date = member.Date;
    e->Seen = 1;
    lib_.SetEntrySize(e, member.Size);
}

int TVolumeScanner::MarkSeen(TTreeNode* node, bool value) {
    int count = 0;
    std::vector<TTreeNode*> todo{node};
    while (!todo.empty()) {
        TTreeNode* n = todo.back();
        todo.pop_back();
        TLibFolder* f = FolderOf(n);
        for (const auto& e : f->Items()) {
            if (StopNow()) return count;
            if (StatusDue())
                progress_.ShowStatus(GetMessageText("msgsAnalyzing", GetEntryCatalogPath(e.get())),
                                     {}, false);
            if (e->IsFolder) {
                if (TTreeNode* sub = n->FindChild(e->Caption.view())) todo.push_back(sub);
            }
            e->Seen = value ? 1 : 0;
            ++count;
        }
    }
    return count;
}

int TVolumeScanner::DeleteUnseen(TTreeNode* node) {
    int count = 0;
    index_.clear(); // nodes may go; the index must not keep them
    walkStack_.clear();
    std::vector<TTreeNode*> todo{node};
    while (!todo.empty()) {
        TTreeNode* n = todo.back();
        todo.pop_back();
        TLibFolder* f = FolderOf(n);
        std::vector<TLibFolderItem*> gone;
        for (const auto& e : f->Items()) {
            if (StopNow()) break;
            if (StatusDue())
                progress_.ShowStatus(GetMessageText("msgsChecking", GetEntryCatalogPath(e.get())),
                                     {}, false);
            if (!e->Seen) {
                gone.push_back(e.get());
                ++count;
            } else if (e->IsFolder) {
                if (TTreeNode* sub = n->FindChild(e->Caption.view())) todo.push_back(sub);
            }
        }
        if (!gone.empty()) lib_.DeleteEntries(f, gone, false);
        if (stopped_) break;
    }
    lib_.Recount();
    return count;
}

void TVolumeScanner::ApplyDefaultsToTree(TTreeNode* node, bool includeTop) {
    if (!node || !ApplyDefaults) return;
    auto entryRule = [&](TLibFolderItem* e, bool top) {
        if ((e->IsFolder && (top || Options.DefaultsToFolders)) ||
            (!e->IsFolder && Options.DefaultsToFiles)) {
            e->Category = Options.DefaultCategory;
            e->Comments = Options.DefaultComments;
        }
    };
    std::vector<std::pair<TTreeNode*, bool>> todo{{node, includeTop}};
    while (!todo.empty()) {
        auto [n, top] = todo.back();
        todo.pop_back();
        TLibFolder* f = FolderOf(n);
        if (top || Options.DefaultsToFolders) {
            f->Category = Options.DefaultCategory;
            f->Comments = Options.DefaultComments;
            if (f->Parent) {
                if (TLibFolderItem* e = f->Parent->FindItem(f->Caption)) entryRule(e, top);
            }
        }
        for (const auto& e : f->Items())
            entryRule(e.get(), false);
        for (int i = 0; i < n->Count(); ++i)
            todo.emplace_back(n->Child(i), false);
    }
    lib_.Modified = true;
}

void TVolumeScanner::WalkEnterFolder(const std::string& path, const TSearchRec& rec) {
    if (StopNow() || walkStack_.empty()) return;
    TTreeNode* node = walkStack_.front().Node;
    if (path.size() != walkStack_.front().PathLength) {
        // The walk goes depth first: the parent is on the stack.
        const size_t parentLength = ParentLength(path, '/');
        while (walkStack_.size() > 1 && walkStack_.back().PathLength > parentLength)
            walkStack_.pop_back();
        if (walkStack_.back().PathLength != parentLength) {
            current_ = nullptr;
            return;
        }
        node = ChildFolderNode(walkStack_.back().Node, rec.Name);
        walkStack_.push_back({node, path.size()});
        FolderOf(node)->Date = rec.Time;
    }
    current_ = node;
    if (!Options.FoldersOnly) return;
    // Only folders are walked: the files and archives the catalog holds stay.
    for (const auto& e : FolderOf(node)->Items()) {
        if (e->IsFolder && e->Size == 0) continue;
        e->Seen = 1;
        if (TTreeNode* sub = e->IsFolder ? node->FindChild(e->Caption.view()) : nullptr)
            MarkSeen(sub, true);
    }
}

void TVolumeScanner::WalkError(const std::string& path, int error) {
    ++Errors;
    const bool folder = !path.empty() && path.back() == '/';
    Log(folder ? "msgsFolderErr" : "msgsEntryErr",
        nametext::DiskToCaption(path) + ": " + std::strerror(error));
    if (walkStack_.empty() || error == 0) return;
    // A folder that cannot be listed or entered keeps everything the catalog knew below it.
    const TWalkFolder& top = walkStack_.back();
    if (path.size() == top.PathLength) {
        MarkSeen(top.Node, true);
    } else if (folder && path.size() > top.PathLength) {
        std::string_view part(path.data() + top.PathLength, path.size() - top.PathLength - 1);
        if (part.find('/') == std::string_view::npos)
            if (TTreeNode* sub = top.Node->FindChild(nametext::DiskToCaption(part)))
                MarkSeen(sub, true);
    }
}

void TVolumeScanner::Walk(const std::string& root, TTreeNode* top, int64_t knownEntries) {
    TFileSearch walker;
    int64_t entries = 0, bytes = 0;
    walker_ = &walker;
    cursorFolder_ = nullptr;
    walkStack_.assign(1, TWalkFolder{top, root.size()});
    walker.OnEnterFolder = [&](const std::string& path, const TSearchRec& rec) {
        if (StopNow()) {
            walker.StopSearch = true;
            return;
        }
        WalkEnterFolder(path, rec);
    };
    walker.OnFileFound = [&](const std::string& path, const TSearchRec& rec) {
        if (StopNow()) walker.StopSearch = true;
        AddEntryTo(current_, path, rec, knownEntries <= 0);
        ++entries;
        if (!rec.IsDirectory()) bytes += rec.Size;
        progress_.ScanCounts(entries, bytes);
        if (knownEntries > 0)
            progress_.StepProgress(std::string(), std::min(entries, knownEntries));
    };
    walker.OnError = [&](const std::string& path, int error) { WalkError(path, error); };
    walker.OnPoll = [&] { return StopNow(); };
    walker.KeepResults = false;
    walker.Threads = Options.WalkThreads;
    std::optional<TReadAhead> ahead;
    *stopAhead_ = stopped_;
    if (claims_ && claims_->AnyActive() && !Options.FoldersOnly)
        walker.AheadWork = ahead.emplace(*claims_, *stopAhead_).Work();
    try {
        walker.SearchFolder(root, Options.Levels, Options.FoldersOnly);
    } catch (...) {
        // A listing under way on a reader thread ends before the walk is undone.
        *stopAhead_ = true;
        walkStack_.clear();
        walker_ = nullptr;
        throw;
    }
    walkStack_.clear();
    walker_ = nullptr;
}

namespace {

// The entries a walk of `node` meets on the disk, as the catalog knows them:
// the members of archives are read from the archive, not walked.
int64_t KnownDiskEntries(const TTreeNode* node) {
    int64_t n = 0;
    std::vector<const TTreeNode*> todo{node};
    while (!todo.empty()) {
        const TTreeNode* t = todo.back();
        todo.pop_back();
        n += FolderOf(t)->ItemsCount();
        for (int i = 0; i < t->Count(); ++i)
            if (!FolderOf(t->Child(i))->IsArchive) todo.push_back(t->Child(i));
    }
    return n;
}

} // namespace

TTreeNode* TVolumeScanner::AddVolume(IQuestions& questions) {
    if (Options.FolderResult.empty()) return nullptr;
    const std::string root = WithSlash(nametext::CaptionToDisk(Options.FolderResult));
    Options.FolderResult = nametext::DiskToCaption(root);
    std::string message;
    TTreeNode* dup = nullptr;
    if (!Options.SkipSerialCheck &&
        !CheckSerialDuplicate(Options.Serial, Options.FolderResult, message, dup)) {
        if (questions.Ask(std::string(), message, TButtons::YesNo) != TAnswer::Yes) {
            DuplicateNode = dup;
            throw EMessageError("infoCancel");
        }
    }
    progress_.BeginProgress(GetMessageText("msgsAdding", Options.FolderResult),
                            MountPointUsedBytes(root));
    ApplyDefaults = true;
    stopped_ = false;
    TTreeNode* vol = nullptr;
    try {
        vol = CreateVolume(root, Options.TitleResult, Options.Serial);
        if (Options.Collection) lib_.LinkFolder(Options.Collection, FolderOf(vol));
        Walk(root, vol);
    } catch (...) {
        ApplyDefaults = false;
        index_.clear();
        lib_.Recount();
        progress_.EndProgress(std::string());
        throw;
    }
    index_.clear();
    if (lib_.Options.Sort) lib_.Tree.SortRoots();
    lib_.Recount();
    lib_.Modified = true;
    progress_.EndProgress(GetMessageText("msgsAdded", lib_.FileName));
    ApplyDefaults = false;
    return vol;
}

void TVolumeScanner::CheckSameMedium(TTreeNode* selected, const std::string& root,
                                     IQuestions* questions) {
    if (Options.Force) return;
    TLibFolder* sel = FolderOf(selected);
    const bool holds = sel->ItemsCount() > 0 || selected->Count() > 0;
    std::string reason;
    if (holds && FolderHolds(root) == 0) {
        reason = GetMessageText("errSourceEmpty", nametext::DiskToCaption(root));
    } else {
        const std::string& known = GetVolume(sel)->Serial;
        if (!known.empty() && !Options.Serial.empty() && known != Options.Serial)
            reason =
                GetMessageText("errSourceSerial", std::vector<std::string>{Options.Serial, known});
    }
    if (reason.empty()) return;
    if (questions) {
        std::string text = reason + "\r\n\r\n" + GetMessageText("confDeleteAnyway");
        if (questions->Ask(std::string(), text, TButtons::YesNo) == TAnswer::Yes) return;
        throw EMessageError("infoCancel");
    }
    throw EMessageError("errNotSameMedium", reason);
}

bool IsAbsoluteSource(const std::string& sourcePath) {
    return !sourcePath.empty() && std::filesystem::path(sourcePath).is_absolute();
}

void TVolumeScanner::UpdateVolume(TTreeNode* selected, IQuestions* questions) {
    if (!selected || (Options.UseRealSource && Options.FolderResult.empty())) return;
    const std::string root = Options.FolderResult.empty()
                                 ? std::string()
                                 : WithSlash(nametext::CaptionToDisk(Options.FolderResult));
    Options.FolderResult = nametext::DiskToCaption(root);
    Log("msgsUpdating", Options.FolderResult);
    ApplyDefaults = true;
    stopped_ = false;
    struct TEnd {
        TVolumeScanner* s;
        ~TEnd() {
            s->ApplyDefaults = false;
            s->index_.clear();
            s->lib_.Modified = true;
        }
    } end{this};
    if (!Options.UseRealSource) {
        ApplyDefaultsToTree(selected, true);
        return;
    }
    // An imported volume's made-up source is relative: read against the
    // working folder it would rescan, and delete, the wrong tree.
    if (!IsAbsoluteSource(root))
        throw EMessageError("errNoSourceFolder", GetCatalogPath(FolderOf(selected)));
    // Without a readable root nothing may be marked for deletion.
    if (FolderHolds(root) < 0) throw EMessageError("errFNF", Options.FolderResult);
    if (Options.DeleteNotFound) CheckSameMedium(selected, root, questions);
    // The catalog knows how many entries to expect: the bar shows how far the walk is.
    // Checksum reads move the bar in bytes: then the bar has no total to fill.
    const bool barInBytes = handlers_ && handlers_->isExtHandlerActive(kChecksumTitle);
    const int64_t known = barInBytes ? 0 : KnownDiskEntries(selected);
    progress_.BeginProgress(GetMessageText("msgsUpdating", Options.FolderResult), known);
    try {
        if (Options.DeleteNotFound) {
            Log("msgsAnalyzing", Options.FolderResult);
            int n = MarkSeen(selected, false);
            Log("msgsAnalyzed", std::to_string(n));
        }
        TTreeNode* volNode = RootNode(selected);
        TLibFolder* vol = FolderOf(volNode);
        if (vol->Serial.empty()) vol->Serial = Options.Serial;
        // Only a whole volume moves its source; a subfolder is rescanned under its own node.
        if (selected == volNode) vol->SourcePath = Options.FolderResult;
        volume_ = volNode;
        current_ = selected;
        archive_ = nullptr;
        index_.clear();
        Walk(root, selected, known);
        // Entries gone from the disk were never met: the finished walk is the whole.
        if (!stopped_ && known > 0) progress_.StepProgress(std::string(), known);
        if (Options.DeleteNotFound && !stopped_) {
            Log("msgsDeleting", std::string());
            int n = DeleteUnseen(selected);
            Log("msgsDeleted", std::to_string(n));
        }
    } catch (...) {
        lib_.Recount();
        progress_.EndProgress(std::string());
        throw;
    }
    lib_.Recount();
    progress_.EndProgress(GetMessageText("msgsUpdated", Options.FolderResult));
}

int64_t TotalFileSize(const TLibObj& lib, const TTreeNode* node, const std::atomic<bool>& stop,
                      const std::function<void(int64_t)>& onProgress) {
    int64_t total = 0;
    std::vector<const TTreeNode*> todo;
    if (node) {
        todo.push_back(node);
    } else {
        for (int i = lib.Tree.RootCount() - 1; i >= 0; --i)
            todo.push_back(lib.Tree.Root(i));
    }
    while (!todo.empty()) {
        const TTreeNode* n = todo.back();
        todo.pop_back();
        for (const auto& e : FolderOf(n)->Items()) {
            if (stop.load(std::memory_order_relaxed)) return total;
            if (e->IsFolder) continue; // an archive that was opened counts by its members
            total = AddSizes(total, e->Size);
        }
        if (onProgress) onProgress(total);
        for (int i = n->Count() - 1; i >= 0; --i)
            todo.push_back(n->Child(i));
    }
    return total;
}
