#include "catalog/catalog_file.h"

#include "catalog/catalog_lock.h"
#include "catalog/catalog_thumbs.h"
#include "catalog/lib_file.h"
#include "files/input_file.h"
#include "settings/message_table.h"
#include "text/message_error.h"

#include <sys/stat.h>
#include <unordered_map>

namespace {

// Minimal sizes of the records, used to reject counts that run past the end.
constexpr int64_t kMinFolderRecord = 4 + 8 + 4 + 4 + 4 + 4 + 4 + 4 + 4 + 4 + 4;
constexpr int64_t kMinEntryRecord22 = 4 + 8 + 8 + 4 + 4 + 1;
constexpr int64_t kMinCollectionRecord = 4 + 4 + 4 + 4 + 4 + 4 + 4 + 4;

// The entry record's folder byte. Older files hold 0 and 1 only, and a folder
// entry named like an archive was taken for one; 2 and 3 say what the name
// would get wrong, and older builds still read them as folder entries.
constexpr uint8_t kFileEntry = 0;
constexpr uint8_t kFolderEntryByName = 1;
constexpr uint8_t kArchiveEntry = 2;
constexpr uint8_t kPlainFolderEntry = 3;

struct THeader {
    std::string Version, Comments, Category;
    int32_t FolderRecordCount = 0, CollectionRecordCount = 0, CategoryRecordCount = 0;
};

THeader ReadHeader(TLibFileReader& in) {
    THeader h;
    h.Version = in.ReadStringCopy();
    h.Comments = in.ReadStringCopy();
    h.FolderRecordCount = in.ReadInt32();
    h.CollectionRecordCount = in.ReadInt32();
    h.Category = in.ReadStringCopy();
    h.CategoryRecordCount = in.ReadInt32();
    return h;
}

bool KnownVersion(const std::string& v) {
    return v == kCurrentVersion || v == kOldVersion;
}

// A place named in a log line: a name of many megabytes is shown by its start.
std::string ShownPlace(std::string place) {
    constexpr size_t kShown = 240;
    if (place.size() <= kShown) return place;
    size_t n = kShown;
    while (n > 0 && (static_cast<unsigned char>(place[n]) & 0xC0) == 0x80)
        --n; // never half a character
    place.resize(n);
    return place + "...";
}

void CheckStop(IProgress& progress) {
    if (progress.StopRequested()) throw EMessageError("infoCancel");
}

void CheckCount(TLibFileReader& in, int64_t count, int64_t minRecord, const char* what) {
    if (count < 0 || count > in.Remaining() / minRecord + 1)
        in.Damaged(std::string("a count of ") + std::to_string(count) + " " + what);
}

std::unique_ptr<TLibFolder> ReadFolderRecord(TLibFileReader& in) {
    auto f = std::make_unique<TLibFolder>();
    f->Caption = in.ReadStringCopy();
    f->Date = in.ReadDouble();
    f->Category = in.ReadStringCopy();
    f->Comments = in.ReadStringCopy();
    f->Location = in.ReadStringCopy();
    f->Level = in.ReadInt32();
    f->Kind = in.ReadInt32();
    f->ItemCount = in.ReadInt32();
    f->AbsoluteIndex = in.ReadInt32();
    f->Serial = in.ReadStringCopy();
    f->SourcePath = in.ReadStringCopy();
    ++in.FolderRecords;
    if (f->Kind == 0) ++in.VolumeRecords;
    return f;
}

std::unique_ptr<TLibFolderItem> ReadEntryRecord(TLibFileReader& in, bool withTags) {
    auto e = std::make_unique<TLibFolderItem>();
    e->Caption = in.ReadString();
    e->Date = in.ReadDouble();
    const int64_t at = in.Position();
    e->Size = in.ReadInt64();
    if (e->Size < 0) in.DamagedAt(at, "a size of " + std::to_string(e->Size));
    e->Category = in.ReadString();
    e->Comments = in.ReadString();
    const uint8_t folderByte = in.ReadByte();
    e->IsFolder = folderByte != kFileEntry ? 1 : 0;
    if (folderByte == kArchiveEntry)
        e->IsArchive = 1;
    else if (e->IsFolder && folderByte != kPlainFolderEntry)
        e->IsArchive = LooksLikeArchive(e->Caption.view()) ? 1 : 0;
    if (withTags) e->TagInfo.SetText(in.ReadString());
    ++in.EntryRecords;
    in.EntryBytes = AddSizes(in.EntryBytes, e->Size);
    return e;
}

// The nodes from the current root down to the node added last, so that the
// load's level rule costs the same at any depth: a record one level below the
// last goes under it, a record at level L goes under the node at level L - 1,
// and the first record (or one of level 0) starts a new root.
class TLevelPath {
public:
    // The parent for a record of `level`; null for a root.
    TTreeNode* ParentFor(TLibFileReader& in, int32_t level) {
        if (level < 0) in.Damaged("a record with level " + std::to_string(level));
        if (path_.empty()) return nullptr;
        const auto depth = static_cast<int64_t>(path_.size());
        if (level > depth)
            in.Damaged("a record " + std::to_string(level - depth + 1) +
                       " levels below the one before");
        path_.resize(static_cast<size_t>(level));
        return path_.empty() ? nullptr : path_.back();
    }
    void Added(TTreeNode* node) { path_.push_back(node); }
    void Restart() { path_.clear(); }
    TTreeNode* Root() const { return path_.empty() ? nullptr : path_.front(); }
    int32_t LevelOfLast() const { return static_cast<int32_t>(path_.size()) - 1; }

private:
    std::vector<TTreeNode*> path_;
};

void AddLocation(TLibObj& lib, const std::string& loc) {
    if (loc.empty()) return;
    lib.Locations.Add(loc);
    if (lib.Options.AddToGlobalsLocs && lib.Options.GlobalLocations)
        lib.Options.GlobalLocations->Add(loc);
}

// Entries of one folder with its size and its volume's; sums saturate.
void AddEntries(TLibFolder* f, TLibFolder* volume,
                std::vector<std::unique_ptr<TLibFolderItem>> entries) {
    f->AdoptItems(std::move(entries));
    int64_t sum = 0;
    for (const auto& e : f->Items())
        sum = AddSizes(sum, e->Size);
    f->ItemsSize = sum;
    if (volume) volume->VolumeSize = AddSizes(volume->VolumeSize, sum);
}

void LoadBody(TLibObj& lib, TLibFileReader& in, const THeader& h, IProgress& progress) {
    const bool withTags = h.Version != kOldVersion;
    CheckCount(in, h.FolderRecordCount, kMinFolderRecord, "folders");
    std::unordered_map<int32_t, TLibFolder*> byIndex; // folders of this load only
    byIndex.reserve(static_cast<size_t>(h.FolderRecordCount));
    TLevelPath path;
    std::vector<std::unique_ptr<TLibFolderItem>> entries;
    for (int32_t i = 0; i < h.FolderRecordCount; ++i) {
        std::unique_ptr<TLibFolder> rec = ReadFolderRecord(in);
        progress.StepProgress(rec->Caption, in.Position());
        CheckStop(progress);
        if (rec->Kind == 0) path.Restart();
        TTreeNode* parent = path.ParentFor(in, rec->Level);
        int32_t itemCount = rec->ItemCount;
        CheckCount(in, itemCount, kMinEntryRecord22, "entries");
        TLibFolder* f = rec.get();
        if (parent) {
            // The entry in the parent's list (read already) says whether this lists an archive.
            const TLibFolderItem* entry = FolderOf(parent)->FindItem(f->Caption);
            f->IsArchive = entry ? entry->IsArchive != 0 : LooksLikeArchive(f->Caption);
        }
        AddLocation(lib, f->Location);
        TTreeNode* node =
            parent ? lib.AddFolderNode(parent, std::move(rec)) : lib.AddVolumeNode(std::move(rec));
        path.Added(node);
        byIndex.emplace(f->AbsoluteIndex, f);
        // A folder's entries go in at once: sorted in one pass whatever their order.
        entries.clear();
        entries.reserve(static_cast<size_t>(itemCount));
        try {
            for (int32_t k = 0; k < itemCount; ++k) {
                entries.push_back(ReadEntryRecord(in, withTags));
                CheckStop(progress);
            }
        } catch (...) {
            AddEntries(f, FolderOf(path.Root()), std::move(entries));
            throw;
        }
        AddEntries(f, FolderOf(path.Root()), std::move(entries));
    }
    CheckCount(in, h.CollectionRecordCount, kMinCollectionRecord, "collections");
    TLevelPath colPath;
    for (int32_t i = 0; i < h.CollectionRecordCount; ++i) {
        auto c = std::make_unique<TLibColItem>();
        c->Caption = in.ReadStringCopy();
        c->Kind = in.ReadInt32();
        c->Level = in.ReadInt32();
        c->MemoText = in.ReadStringCopy();
        c->URL = in.ReadStringCopy();
        c->FolderIndex = in.ReadInt32();
        c->LinkPath = in.ReadStringCopy();
        c->ImageIndex = in.ReadInt32();
        ++in.CollectionRecords;
        if (c->Kind < TLibColItem::kMemo || c->Kind > TLibColItem::kArchiveLink)
            c->Kind = TLibColItem::kMemo;
        TTreeNode* parent = colPath.ParentFor(in, c->Level);
        TLibColItem* item = c.get();
        std::string text = item->Caption;
        TTreeNode* colNode = lib.ColTree.Add(parent, std::move(text), std::move(c));
        colPath.Added(colNode);
        item->Node = colNode;
        progress.StepProgress(GetMessageText("msgsLoadingCol", item->Caption), in.Position());
        if (item->FolderIndex != -1 && item->Kind != TLibColItem::kMemo) {
            auto it = byIndex.find(item->FolderIndex);
            if (it != byIndex.end()) lib.Relink(item, it->second);
        }
        item->Level = colPath.LevelOfLast();
        item->FolderIndex = item->LinkedFolder ? item->LinkedFolder->AbsoluteIndex : -1;
        SetColItemImages(colNode);
        CheckStop(progress);
    }
    CheckCount(in, h.CategoryRecordCount, 4, "categories");
    for (int32_t i = 0; i < h.CategoryRecordCount; ++i) {
        std::string name = in.ReadStringCopy();
        if (!name.empty()) {
            lib.Categories.Add(name);
            if (lib.Options.AddToGlobalsCats && lib.Options.GlobalCategories)
                lib.Options.GlobalCategories->Add(name);
        }
        progress.StepProgress(GetMessageText("msgsLoadingCat", name), in.Position());
        CheckStop(progress);
    }
}

void WriteFolderRecord(TLibFileWriter& out, const TLibFolder* f) {
    out.WriteString(f->Caption);
    out.WriteDouble(f->Date);
    out.WriteString(f->Category);
    out.WriteString(f->Comments);
    out.WriteString(f->Location);
    out.WriteInt32(f->Level);
    out.WriteInt32(f->Kind);
    out.WriteInt32(f->ItemCount);
    out.WriteInt32(f->AbsoluteIndex);
    out.WriteString(f->Serial);
    out.WriteString(f->SourcePath);
    ++out.FolderRecords;
    if (f->Kind == 0) ++out.VolumeRecords;
}

// Where the name tells the truth the byte stays 1, so such files are as before.
uint8_t FolderByte(const TLibFolderItem* e) {
    if (!e->IsFolder) return kFileEntry;
    const bool archive = e->IsArchive != 0;
    if (archive == LooksLikeArchive(e->Caption.view())) return kFolderEntryByName;
    return archive ? kArchiveEntry : kPlainFolderEntry;
}

void WriteEntryRecord(TLibFileWriter& out, const TLibFolderItem* e) {
    out.WriteString(e->Caption.view());
    out.WriteDouble(e->Date);
    out.WriteInt64(e->Size);
    out.WriteString(e->Category.view());
    out.WriteString(e->Comments.view());
    out.WriteByte(FolderByte(e));
    out.WriteString(e->TagInfo.TextView());
    ++out.EntryRecords;
    out.EntryBytes = AddSizes(out.EntryBytes, e->Size);
}

} // namespace

void SaveToFile(TLibObj& lib, const std::string& path, IProgress& progress) {
    lib.Recount();
    TLibFileWriter out(path);
    progress.BeginProgress(GetMessageText("msgsSaving", path), lib.FolderCount);
    try {
        lib.FolderRecordCount = lib.Tree.TotalCount();
        lib.CollectionRecordCount = lib.ColTree.TotalCount();
        lib.CategoryRecordCount = lib.Categories.Count();
        out.WriteString(lib.Version);
        out.WriteString(lib.Comments);
        out.WriteInt32(lib.FolderRecordCount);
        out.WriteInt32(lib.CollectionRecordCount);
        out.WriteString(lib.Category);
        out.WriteInt32(lib.CategoryRecordCount);
        // Text beyond the format's limit is cut; say where, so nothing goes silently.
        // The place is named only then: building a path costs its depth.
        auto reportCut = [&](const auto& where) {
            if (out.TakeCut())
                progress.LogMessage(GetMessageText("msgsTextCut", ShownPlace(where())));
        };
        reportCut([&] { return path; });
        std::string shown;
        std::vector<size_t> shownEnds; // where the path of each level's parent ends
        lib.Tree.ForEach([&](TTreeNode* n) {
            TLibFolder* f = FolderOf(n);
            TLibObj::NumberFolder(f);
            f->Kind = f->Parent ? 1 : 0;
            f->ItemCount = f->ItemsCount();
            WriteFolderRecord(out, f);
            reportCut([&] { return GetCatalogPath(f); });
            // The path grows and shrinks with the walk; shown every 256th folder.
            shown.resize(f->Level < static_cast<int32_t>(shownEnds.size())
                             ? shownEnds[static_cast<size_t>(f->Level)]
                             : shown.size());
            shownEnds.resize(static_cast<size_t>(f->Level));
            shownEnds.push_back(shown.size());
            shown += f->Parent ? f->Caption + "\\" : GetCatalogPath(f);
            progress.StepProgress((out.FolderRecords & 255) == 1 ? shown : std::string(),
                                  out.FolderRecords);
            CheckStop(progress);
            for (const auto& e : f->Items()) {
                WriteEntryRecord(out, e.get());
                reportCut([&] { return GetEntryCatalogPath(e.get()); });
                CheckStop(progress);
            }
        });
        lib.ColTree.ForEach([&](TTreeNode* n) {
            TLibColItem* c = ColItemOf(n);
            c->FolderIndex = -1;
            const TLibColItem* parent = ColItemOf(n->Parent()); // written already
            c->Level = parent ? parent->Level + 1 : 0;
            c->Node = n;
            if (c->LinkedFolder) {
                c->FolderIndex = c->LinkedFolder->AbsoluteIndex;
                // The link's path follows renamed volumes and folders. A file link
                // whose entry was not found keeps its path, so that a later load
                // can link it again.
                if (c->LinkedItem)
                    c->LinkPath = GetEntryCatalogPath(c->LinkedItem);
                else if (c->Kind != TLibColItem::kFileLink)
                    c->LinkPath = GetCatalogPath(c->LinkedFolder);
            }
            out.WriteString(c->Caption);
            out.WriteInt32(c->Kind);
            out.WriteInt32(c->Level);
            out.WriteString(c->MemoText);
            out.WriteString(c->URL);
            out.WriteInt32(c->FolderIndex);
            out.WriteString(c->LinkPath);
            out.WriteInt32(c->ImageIndex);
            reportCut([&] { return c->Caption; });
            ++out.CollectionRecords;
            progress.StepProgress(GetMessageText("msgsSavingCol", c->Caption), 0);
            CheckStop(progress);
        });
        for (const auto& name : lib.Categories.Lines()) {
            out.WriteString(name);
            reportCut([&] { return name; });
            progress.StepProgress(GetMessageText("msgsSavingCat", name), 0);
            CheckStop(progress);
        }
        out.Commit();
    } catch (...) {
        progress.EndProgress(std::string());
        throw;
    }
    // The thumbnails follow the catalog once it is safely there.
    SaveThumbnails(lib, lib.FileName, path, progress);
    // The name changes only once the file is safely there.
    lib.FileName = path;
    lib.DiskIdentity = TFileIdentity::OfPath(path);
    progress.EndProgress(GetMessageText("msgsSaved", lib.FileName));
    lib.Modified = false;
}

bool CheckFileExists(const std::string& path, bool report, IQuestions* questions) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
    if (report && questions) {
        const char* key = ::stat(path.c_str(), &st) == 0 ? NotRegularKey(st.st_mode) : nullptr;
        questions->ShowError(key ? key : "errFNF", path);
    }
    return false;
}

std::string ReadCatalogVersion(const std::string& path) {
    try {
        TLibFileReader in(path);
        return in.ReadStringCopy();
    } catch (const EMessageError& e) {
        // A file too short for a version is just not a catalog; one that
        // cannot be opened says why.
        if (e.Key != "errDamaged") throw;
        return {};
    }
}

void LoadFromFile(TLibObj& lib, const std::string& path, bool append, IProgress& progress,
                  IQuestions* /*questions*/) {
    // The reader says what is wrong with a path that is not a regular file.
    TLibFileReader in(path);
    if (!append) {
        lib.Clear();
        lib.FileName = path;
        lib.DiskIdentity = in.Identity();
    }
    lib.BumpGeneration();
    THeader h;
    bool damaged = false;
    progress.BeginProgress(GetMessageText("msgsLoading", path), in.FileSize());
    try {
        h = ReadHeader(in);
        if (!KnownVersion(h.Version)) throw EMessageError("errWrongFile", path);
        if (!append) {
            lib.Comments = h.Comments;
            lib.Category = h.Category;
        }
        LoadBody(lib, in, h, progress);
    } catch (const EMessageError& e) {
        damaged = e.Key == "errDamaged";
        // What was read stays; a damaged file must not be overwritten by a plain Save.
        if (damaged && !append) lib.FileName.clear();
        if (lib.Options.Sort) lib.Tree.SortRoots();
        lib.Recount();
        lib.Modified = true;
        progress.EndProgress(GetMessageText("msgsLoaded", path));
        throw;
    }
    if (lib.Options.Sort) lib.Tree.SortRoots();
    lib.Recount();
    if (!append) CheckThumbnails(lib, progress);
    progress.EndProgress(GetMessageText("msgsLoaded", path));
    lib.Modified = h.Version != lib.Version || append;
}

bool OpenLibrary(TLibObj& lib, const std::string& path, bool append, bool confirm,
                 IProgress& progress, IQuestions& questions) {
    if (confirm &&
        questions.Ask(append ? "confImport" : "confLoad", path, TButtons::OkCancel) != TAnswer::Ok)
        return false;
    if (!CheckFileExists(path, true, &questions)) return false;
    if (!KnownVersion(ReadCatalogVersion(path))) throw EMessageError("errUnknownFile", path);
    LoadFromFile(lib, path, append, progress, &questions);
    return true;
}

bool SaveWithConfirm(TLibObj& lib, const std::string& path, IProgress& progress,
                     IQuestions& questions) {
    // The catalog's own file is saved over without asking: that is what Save means.
    if (path != lib.FileName && CheckFileExists(path, false, nullptr) &&
        questions.Ask("confReplace", path, TButtons::OkCancel) != TAnswer::Ok)
        return false;
    SaveToFile(lib, path, progress);
    return true;
}

bool ChangedOnDisk(const TLibObj& lib, const std::string& path) {
    if (lib.FileName.empty() || lib.FileName != path || !lib.DiskIdentity.Known()) return false;
    TFileIdentity now = TFileIdentity::OfPath(path);
    return now.Known() && now != lib.DiskIdentity;
}

bool SaveOfferingSaveAs(TLibObj& lib, std::string& path, IProgress& progress,
                        IQuestions& questions) {
    while (true) {
        try {
            // Held through the question too, so that what was asked about stays as it is.
            TCatalogLock lock = TCatalogLock::Acquire(path, kWindowLockWaitMs);
            if (!ChangedOnDisk(lib, path)) return SaveWithConfirm(lib, path, progress, questions);
            TAnswer a = questions.Ask("confNewerOnDisk", path, TButtons::YesNoCancelDefaultNo);
            if (a == TAnswer::Yes) {
                SaveToFile(lib, path, progress);
                return true;
            }
            lock.Release();
            if (a != TAnswer::No) return false;
            path = questions.AskSavePath(path);
            if (path.empty()) return false;
        } catch (const EMessageError& e) {
            if (e.Key != "errReadOnlyFolder") throw;
            if (questions.Ask("confSaveElsewhere", e.Arg, TButtons::OkCancel) != TAnswer::Ok)
                return false;
            path = questions.AskSavePath(path);
            if (path.empty()) return false;
        }
    }
}

TAnswer QuerySaveChanges(TLibObj& lib, IProgress& progress, IQuestions& questions) {
    if (!lib.Modified || !lib.Options.ConfirmSaveChanges) return TAnswer::Yes;
    TAnswer a = questions.Ask("confSave", lib.FileName, TButtons::SaveDiscardCancel);
    if (a != TAnswer::Yes) return a;
    std::string path = lib.FileName;
    if (path.empty()) path = questions.AskSavePath(std::string());
    if (path.empty()) return TAnswer::Cancel;
    try {
        if (!SaveOfferingSaveAs(lib, path, progress, questions)) return TAnswer::Cancel;
    } catch (const EMessageError& e) {
        questions.ShowError(e.Key, e.Arg);
        return TAnswer::Cancel;
    }
    return TAnswer::Yes;
}
