#include "archives/archive_io.h"
#include "catalog/archive_listing.h"
#include "catalog/catalog_thumbs.h"
#include "catalog/read_ahead.h"
#include "catalog/scan_ops.h"
#include "files/file_checksum.h"
#include "files/path_in_folder.h"
#include "handlers/handler_claims.h"
#include "handlers/handlers.h"
#include "media/media_steps.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"
#include "walk/walker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// The walk of a volume: what each entry the walker meets becomes in the
// catalog, with its tags, checksum and archive members.

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

void TVolumeScanner::KeepUnreadEntry(TTreeNode* node, TLibFolderItem* e) {
    e->Seen = 1;
    if (!e->IsFolder) return;
    if (TTreeNode* sub = node->FindChild(e->Caption.view())) MarkSeen(sub, true);
}

void TVolumeScanner::ReadTags(TLibFolderItem* e, const std::string& nativeFolder,
                              const std::function<std::string()>& shownPath, const TSearchRec& rec,
                              const THandlerClaims::TClaim& claim, bool unchanged) {
    // The walk's readers may have read them already, off this thread.
    auto* ahead = walker_ ? dynamic_cast<TTagsRead*>(walker_->WorkDone()) : nullptr;
    // Readers go by the name on the disk.
    const auto& readers =
        rec.NativeName.empty() ? claim.Readers : claims_->Of(rec.NativeName).Readers;
    // Most files are claimed by nothing and had nothing: nothing changes for them.
    const bool thumb = claim.Thumbnail && !(unchanged && HasThumbnail(e));
    if (!ahead && readers.empty() && !claim.Checksum && !thumb && e->TagInfo.Empty()) return;
    const std::string readPath = ReadPath(nativeFolder, rec);
    TTagsRead got = ahead ? std::move(*ahead) : ReadTagsOf(readers, readPath, rec.OnlyHoles);
    // Readers ahead make thumbnails only while adding; an update makes those it lacks here.
    if (thumb && got.Thumb.Empty() && got.ThumbWhy.empty() && !rec.OnlyHoles)
        MakeThumbnail(readPath, got.Thumb, got.ThumbWhy);
    KeepThumbnail(e, rec, got, shownPath);
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

bool TVolumeScanner::HasThumbnail(const TLibFolderItem* e) {
    if (!thumbs_) thumbs_ = std::make_shared<TCatalogThumbs>(lib_);
    return thumbs_->Has(e);
}

void TVolumeScanner::KeepThumbnail(const TLibFolderItem* e, const TSearchRec& rec, TTagsRead& got,
                                   const std::function<std::string()>& shownPath) {
    if (!got.ThumbWhy.empty())
        Log("msgsThumbErr", nametext::DiskToCaption(shownPath()) + ": " + got.ThumbWhy);
    if (got.Thumb.Empty()) return;
    // Kept until the catalog is saved, with what it was made of.
    TPendingThumb& p = lib_.PendingThumbs[GetEntryCatalogPath(e)];
    p.Volume = ThumbVolumeOf(e);
    p.Size = rec.Size;
    p.Date = rec.Time;
    p.Thumb = std::move(got.Thumb);
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
        // Found again as it was: its thumbnail, if it has one, still stands.
        bool unchanged = false;
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
            unchanged = !e->IsFolder && e->Size == rec.Size && e->Date == rec.Time;
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
                ReadTags(e, nativeFolder, fullPath, rec, *claim, unchanged);
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
    if (claims_ && claims_->AnyActive() && !Options.FoldersOnly) {
        // An update looks up which thumbnails still stand on this thread.
        walker.AheadWork = ahead.emplace(*claims_, *stopAhead_, knownEntries <= 0).Work();
        if (walker.AheadWork) walker.AheadSpans = ahead->Spans();
    }
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
