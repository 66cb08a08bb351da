#include "catalog/scan_ops.h"

#include "archives/archive_io.h"
#include "catalog/archive_listing.h"
#include "catalog/read_ahead.h"
#include "files/file_checksum.h"
#include "files/volume_info.h"
#include "handlers/handler_claims.h"
#include "handlers/handlers.h"
#include "media/media_steps.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"
#include "text/string_list.h"
#include "walk/walker.h"

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

} // namespace

size_t TVolumeScanner::ParentLength(std::string_view path, char sep) {
    if (!path.empty() && path.back() == sep) path.remove_suffix(1);
    auto cut = path.rfind(sep);
    return cut == std::string_view::npos ? 0 : cut + 1;
}

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
    // Counted as every total is (OwnEntryTotals): an archive by its own size, its members not at
    // all.
    while (!todo.empty()) {
        if (stop.load(std::memory_order_relaxed)) return total;
        const TTreeNode* n = todo.back();
        todo.pop_back();
        total = AddSizes(total, OwnEntryTotals(FolderOf(n)).Bytes);
        if (onProgress) onProgress(total);
        for (int i = n->Count() - 1; i >= 0; --i)
            if (!FolderOf(n->Child(i))->IsArchive) todo.push_back(n->Child(i));
    }
    return total;
}
