#include "catalog/scan_ops.h"

#include "analysis/archive_io.h"
#include "analysis/archive_lister.h"
#include "analysis/handlers.h"
#include "analysis/name_text.h"
#include "analysis/rar_reader.h"
#include "analysis/string_list.h"
#include "analysis/walker.h"
#include "analysis/zip_reader.h"
#include "settings/message_error.h"
#include "settings/message_table.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

char SeparatorOf(std::string_view root) {
    if (!root.empty() && root.back() == '\\') return '\\';
    if (root.find('/') == std::string_view::npos && root.find('\\') != std::string_view::npos)
        return '\\';
    return '/';
}

std::string WithSeparator(std::string path, char sep) {
    if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += sep;
    return path;
}

// Used bytes of the filesystem when `root` is a mount point; 0 otherwise.
int64_t MountPointUsedBytes(const std::string& root) {
    struct stat self {
    }, parent{};
    if (::stat(root.c_str(), &self) != 0 || ::stat((root + "..").c_str(), &parent) != 0) return 0;
    bool mountPoint = self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
    if (!mountPoint) return 0;
    struct statvfs vfs {};
    if (::statvfs(root.c_str(), &vfs) != 0) return 0;
    return static_cast<int64_t>(vfs.f_blocks - vfs.f_bfree) * static_cast<int64_t>(vfs.f_frsize);
}

bool CanList(const std::string& path) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    ::closedir(d);
    return true;
}

} // namespace

TVolumeScanner::TVolumeScanner(TLibObj& lib, const THandlerList* handlers, IProgress& progress)
    : lib_(lib), handlers_(handlers), progress_(progress) {}

std::string TVolumeScanner::Separator() const {
    TLibFolder* vol = FolderOf(lib_.VolumeNode);
    return std::string(1, SeparatorOf(vol ? vol->SourcePath : std::string()));
}

bool TVolumeScanner::StopNow() {
    if (!stopped_ && progress_.StopRequested()) stopped_ = true;
    return stopped_;
}

void TVolumeScanner::Log(const std::string& key, const std::string& arg) {
    progress_.LogMessage(GetMessageText(key, arg));
}

TTreeNode* TVolumeScanner::FindPath(const std::string& path) const {
    auto it = index_.find(nametext::ToDisplayPath(path));
    return it == index_.end() ? nullptr : it->second;
}

void TVolumeScanner::IndexNode(TTreeNode* node) {
    TLibFolder* f = FolderOf(node);
    index_[GetSourcePath(f)] = node;
    index_.emplace(GetCatalogPath(f), node);
}

void TVolumeScanner::IndexSubtree(TTreeNode* node) {
    if (!node) return;
    // The scanned root stands for `base`; everything below it is reached by name.
    std::vector<std::pair<TTreeNode*, std::string>> todo{{node, ""}};
    const std::string base = Options.FolderResult;
    while (!todo.empty()) {
        auto [n, rel] = todo.back();
        todo.pop_back();
        index_[WithSeparator(base, SeparatorOf(base)) + rel] = n;
        index_.emplace(GetCatalogPath(FolderOf(n)), n);
        for (int i = 0; i < n->Count(); ++i) {
            TTreeNode* c = n->Child(i);
            todo.emplace_back(c, rel + c->Text() + SeparatorOf(base));
        }
    }
}

void TVolumeScanner::UnindexSubtree(TTreeNode*) {
    index_.clear();
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
    auto f = TLibFolder::FromPath(rootPath);
    if (!title.empty()) f->Caption = title;
    if (f->Caption.empty()) f->Caption = rootPath;
    f->Caption = nametext::ToDisplayName(f->Caption);
    if (ApplyDefaults) {
        f->Location = Options.DefaultLocation;
        f->Category = Options.DefaultCategory;
        f->Comments = Options.DefaultComments;
    }
    f->SourcePath = rootPath;
    f->Serial = serial;
    lib_.VolumeNode = lib_.AddVolumeNode(std::move(f));
    lib_.CurrentNode = lib_.VolumeNode;
    lib_.ArchiveNode = nullptr;
    index_.clear();
    IndexNode(lib_.VolumeNode);
    return lib_.VolumeNode;
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

TTreeNode* TVolumeScanner::CreateFolderNode(std::string path, TTreeNode* start,
                                            TTreeNode*& result) {
    if (!start || path == GetCatalogPath(FolderOf(start))) return nullptr;
    auto f = TLibFolder::FromPath(path);
    f->Caption = nametext::ToDisplayName(f->Caption);
    char sep = SeparatorOf(FolderOf(start) ? GetVolume(FolderOf(start))->SourcePath : path);
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += sep; // an archive's own path
    std::string parentPath = path.substr(0, path.size() - 1);
    auto cut = parentPath.find_last_of(sep);
    parentPath = cut == std::string::npos ? std::string() : parentPath.substr(0, cut + 1);
    if (TTreeNode* p = FindPath(parentPath)) result = p;
    if (!result) result = start;
    TLibFolder* parent = FolderOf(result);
    if (TLibFolderItem* e = parent->FindItem(f->Caption)) e->IsFolder = 1;
    ApplyFolderDefaults(f.get());
    TTreeNode* node = lib_.AddFolderNode(result, std::move(f));
    index_[nametext::ToDisplayPath(path)] = node;
    index_.emplace(GetCatalogPath(FolderOf(node)), node);
    result = node;
    ++FoldersAdded;
    return node;
}

void TVolumeScanner::EnterFolder(const std::string& folderPath, TDateTime date) {
    if (StopNow()) return;
    if (TTreeNode* n = FindPath(folderPath)) {
        lib_.CurrentNode = n;
        if (n->Parent()) FolderOf(n)->Date = date;
        return;
    }
    TTreeNode* r = lib_.VolumeNode;
    if (CreateFolderNode(folderPath, lib_.VolumeNode, r)) {
        FolderOf(r)->Date = date;
        lib_.CurrentNode = r;
    }
}

void TVolumeScanner::AddFoundEntry(const std::string& folderPath, const std::string& name,
                                   bool step, bool isDirectory, TDateTime date, int64_t size,
                                   const std::string& realName) {
    const char sep = Separator()[0];
    const bool hasSep =
        !folderPath.empty() && (folderPath.back() == '/' || folderPath.back() == '\\');
    auto path = [&](std::string_view tail) {
        std::string p = folderPath;
        if (!hasSep) p += sep;
        p.append(tail);
        return p;
    };
    // The status line changes a few times a second at most; building it per entry costs.
    if ((++statusTick_ & 63) == 0) progress_.ShowStatus(path(name), std::string(), false);
    if (StopNow() || !lib_.CurrentNode) return;
    try {
        if (isDirectory) {
            TLibFolderItem* e = nullptr;
            if (TTreeNode* n = FindPath(path(name) + sep)) {
                if (TLibFolder* parent = FolderOf(n)->Parent)
                    e = parent->FindItem(FolderOf(n)->Caption);
            } else {
                TLibFolder* cur = FolderOf(lib_.CurrentNode);
                e = cur->SortsAfterLast(name) ? nullptr : cur->FindItem(name);
                if (!e) {
                    auto item = std::make_unique<TLibFolderItem>();
                    item->Caption = name;
                    item->IsFolder = 1;
                    item->Date = date;
                    e = lib_.AddEntry(cur, std::move(item));
                }
            }
            if (e) {
                e->IsFolder = 1;
                e->Seen = 1;
                e->Date = date; // a rescan shows the folder's time as it is now
                ApplyEntryDefaults(e, true);
            }
            ++EntriesSeen;
            return;
        }
        TLibFolder* f = FolderOf(lib_.CurrentNode);
        TLibFolderItem* e = f->SortsAfterLast(name) ? nullptr : f->FindItem(name);
        const bool isNew = e == nullptr;
        // The archive handlers' extension lists decide; only a plain file is
        // ever read as an archive (never a FIFO, device or link).
        TArchiveKind kind = handlers_ ? handlers_->ArchiveKindOf(name) : TArchiveKind::None;
        if (kind != TArchiveKind::None &&
            !archiveio::IsPlainFile(path(realName.empty() ? name : realName)))
            kind = TArchiveKind::None;
        const bool isArchive = kind != TArchiveKind::None;
        if (isNew) {
            auto fresh = std::make_unique<TLibFolderItem>();
            fresh->Caption = name;
            fresh->Size = size;
            fresh->IsFolder = isArchive ? 1 : 0;
            ApplyEntryDefaults(fresh.get(), isArchive);
            e = lib_.AddEntry(f, std::move(fresh));
            if (!e) return;
            ++FilesAdded;
        } else {
            // A file found again with another size keeps the totals right.
            lib_.SetEntrySize(e, size);
        }
        e->Seen = 1;
        e->Date = date;
        ++EntriesSeen;
        if (isArchive) {
            e->IsFolder = 1;
            if (!isNew) ApplyEntryDefaults(e, true);
            TTreeNode* arch = FindPath(path(name) + sep);
            if (!arch) {
                TTreeNode* r = lib_.VolumeNode;
                arch = CreateFolderNode(path(name), lib_.VolumeNode, r);
            }
            lib_.ArchiveNode = arch;
            if (arch) ReadArchive(path(realName.empty() ? name : realName), path(name), kind);
        } else if (handlers_) {
            if (!isNew) ApplyEntryDefaults(e, false);
            handlers_->ProcessFile(path(realName.empty() ? name : realName), e->TagInfo);
        }
        if (step) progress_.StepProgress(std::string(), GetVolume(f)->DirectSize);
    } catch (const std::exception&) {
        ++Errors;
        Log("msgsFileErr", path(name));
    }
}

void TVolumeScanner::ReadArchive(const std::string& path, const std::string& shown,
                                 TArchiveKind kind) {
    if (kind == TArchiveKind::Other) {
        TArchiveLister lister;
        lister.OnMember = [&](const TArchiveMember& m) { AddArchiveMember(m); };
        try {
            lister.List(path);
        } catch (const EMessageError& err) {
            ++Errors;
            Log("msgsArcErr", err.Arg.empty() ? shown : err.Arg);
        } catch (const std::exception&) {
            ++Errors;
            Log("msgsArcErr", shown);
        }
        return;
    }
    if (kind == TArchiveKind::Rar) {
        TRAR rar;
        rar.FileName = path;
        rar.Mode = DFRAR_LIST;
        // A member that starts in an earlier volume is listed with that volume.
        rar.OnFileProcessing = [&](TRAR&, const TDFRARHeaderData& h, int) {
            if (!h.ContinuedFromPrev) AddArchiveMember(h);
        };
        rar.OnError = [&](TRAR&, const std::string& key, int) {
            ++Errors;
            Log("msgsRarErr", shown + ": " + GetMessageText(key));
        };
        try {
            rar.Execute();
        } catch (const std::exception&) {
            ++Errors;
            Log("msgsRarErr", shown);
        }
        return;
    }
    TZip zip;
    zip.OnMember = [&](const TZipDirEntry& m) { AddArchiveMember(m); };
    zip.OnLog = [&](const std::string& key, const std::string& arg) { Log(key, arg); };
    try {
        zip.SetZipFilename(path);
    } catch (const EMessageError& err) {
        ++Errors;
        Log("msgsZipErr", err.Arg.empty() ? shown : err.Arg);
    } catch (const std::exception&) {
        ++Errors;
        Log("msgsZipErr", shown);
    }
}

void TVolumeScanner::AddArchiveMember(const TArchiveMember& member) {
    if (member.IsFolder() || member.FileName.empty() || !lib_.ArchiveNode) return;
    TLibFolder* f = FolderOf(lib_.ArchiveNode);
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
            if ((count & 1023) == 0)
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
    std::vector<TTreeNode*> todo{node};
    while (!todo.empty()) {
        TTreeNode* n = todo.back();
        todo.pop_back();
        TLibFolder* f = FolderOf(n);
        std::vector<TLibFolderItem*> gone;
        for (const auto& e : f->Items()) {
            if (StopNow()) break;
            if ((count & 1023) == 0)
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

void TVolumeScanner::Walk(const std::string& root) {
    TFileSearch walker;
    walker.OnEnterFolder = [&](const std::string& path, const TSearchRec& rec) {
        if (StopNow()) {
            walker.StopSearch = true;
            return;
        }
        EnterFolder(path, rec.Time);
    };
    walker.OnFileFound = [&](const std::string& path, const TSearchRec& rec) {
        if (StopNow()) walker.StopSearch = true;
        AddFoundEntry(path, rec.Name, true, rec.IsDirectory(), rec.Time, rec.Size, rec.NativeName);
    };
    walker.OnError = [&](const std::string& path, int error) {
        ++Errors;
        Log("msgsFileErr", nametext::ToDisplayPath(path) + ": " + std::strerror(error));
        // A folder that cannot be listed keeps what the catalog knew of it.
        TTreeNode* n = FindPath(WithSeparator(path, SeparatorOf(root)));
        if (n && error != 0) MarkSeen(n, true);
    };
    walker.OnPoll = [&] { return StopNow(); };
    walker.KeepResults = false;
    walker.Search(root + "*.*", Options.Levels, Options.FoldersOnly);
}

TTreeNode* TVolumeScanner::AddVolume(IQuestions& questions) {
    if (Options.FolderResult.empty()) return nullptr;
    std::string root = WithSeparator(Options.FolderResult, '/');
    Options.FolderResult = root;
    std::string message;
    TTreeNode* dup = nullptr;
    if (!Options.SkipSerialCheck && !CheckSerialDuplicate(Options.Serial, root, message, dup)) {
        if (questions.Ask(std::string(), message, TButtons::YesNo) != TAnswer::Yes) {
            DuplicateNode = dup;
            throw EMessageError("infoCancel");
        }
    }
    progress_.BeginProgress(GetMessageText("msgsAdding", root), MountPointUsedBytes(root));
    ApplyDefaults = true;
    stopped_ = false;
    TTreeNode* vol = nullptr;
    try {
        vol = CreateVolume(root, Options.TitleResult, Options.Serial);
        if (Options.Collection) lib_.LinkFolder(Options.Collection, FolderOf(vol));
        Walk(root);
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

void TVolumeScanner::UpdateVolume(TTreeNode* selected) {
    if (!selected || (Options.UseRealSource && Options.FolderResult.empty())) return;
    std::string path =
        Options.FolderResult.empty() ? std::string() : WithSeparator(Options.FolderResult, '/');
    Options.FolderResult = path;
    Log("msgsUpdating", path);
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
    // Without a readable root nothing may be marked for deletion.
    if (!CanList(path)) throw EMessageError("errFNF", path);
    progress_.BeginProgress(GetMessageText("msgsUpdating", path), 0);
    try {
        if (Options.DeleteNotFound) {
            Log("msgsAnalyzing", path);
            int n = MarkSeen(selected, false);
            Log("msgsAnalyzed", std::to_string(n));
        }
        TTreeNode* volNode = RootNode(selected);
        TLibFolder* vol = FolderOf(volNode);
        if (vol->Serial.empty()) vol->Serial = Options.Serial;
        // Only a whole volume moves its source; a subfolder is rescanned under its own node.
        if (selected == volNode) vol->SourcePath = path;
        lib_.VolumeNode = volNode;
        lib_.CurrentNode = selected;
        lib_.ArchiveNode = nullptr;
        index_.clear();
        IndexSubtree(selected);
        Walk(path);
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
    progress_.EndProgress(GetMessageText("msgsUpdated", path));
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
            if (e->IsFolder || IsArchiveEntry(e.get())) continue;
            total += e->Size;
        }
        if (onProgress) onProgress(total);
        for (int i = n->Count() - 1; i >= 0; --i)
            todo.push_back(n->Child(i));
    }
    return total;
}
