#pragma once

#include "catalog/lib_obj.h"
#include "files/file_checksum.h"
#include "files/search_rec.h"
#include "handlers/handler_claims.h"
#include "settings/progress.h"
#include "settings/questions.h"
#include "text/date_time.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class THandlerList;
class TFileSearch;
enum class TArchiveKind;
struct TArchiveMember;
struct TArchiveNote;
struct TArchiveRead;
struct TTagsRead;
class TCatalogThumbs;

// What the new-volume and update dialogs hand over.
struct TScanOptions {
    std::string FolderResult; // the root to scan (native path) for Add and Update
    std::string TitleResult;  // the volume's title; empty: the root's last component
    std::string Serial;       // the dialog's serial text
    uint16_t Levels = 0;      // folder levels to list, the root being 1; 0 for all
    bool FoldersOnly = false;
    // Defaults applied to what the scan adds (ApplyDefaults is set for the scan).
    std::string DefaultCategory;
    std::string DefaultComments;
    std::string DefaultLocation;
    bool DefaultsToFolders = false;
    bool DefaultsToFiles = false;
    // Add Volume: link the new volume under this collections node (null: none).
    TTreeNode* Collection = nullptr;
    // Update: rescan the real source ("Use Real Source"), delete what is gone ("Delete not found").
    bool UseRealSource = true;
    bool DeleteNotFound = false;
    bool CheckSerial = true; // the "Check Serial" setting
    bool SkipSerialCheck = false;
    // Update with DeleteNotFound: go on although the source looks like another
    // medium (empty, or another serial) without asking.
    bool Force = false;
    // Threads that read folders ahead of the scan (the catalog still gets
    // everything in the same order); 0 reads each folder when the scan is there.
    unsigned WalkThreads = DefaultWalkThreads();
    static unsigned DefaultWalkThreads();
};

// The scan operations: the walker's and the archive readers' events become
// folder nodes and entries. One scanner serves one Add, Update or import.
// True for a source path that names a folder on its own, without the working
// folder: volumes imported from text or other catalogs have none.
bool IsAbsoluteSource(const std::string& sourcePath);

class TVolumeScanner {
public:
    TVolumeScanner(TLibObj& lib, const THandlerList* handlers, IProgress& progress);

    TScanOptions Options;
    bool ApplyDefaults = false;

    // True when no volume has this serial and root; otherwise the message to
    // ask ("confSerDup" ... "confContinue") and the first duplicate's node.
    bool CheckSerialDuplicate(const std::string& serial, const std::string& rootPath,
                              std::string& message, TTreeNode*& firstDuplicate) const;
    TTreeNode* CreateVolume(const std::string& rootPath, const std::string& title,
                            const std::string& serial);
    // Entries read from elsewhere than the disk (imports): folderPath is a
    // catalog path ("CD1\\a\\"); EnterFolder makes the folder's node when it
    // has none, AddFoundEntry adds to the folder last entered.
    void EnterFolder(const std::string& folderPath, TDateTime date);
    // size: the entry's size; step: step the progress with the volume's total.
    void AddFoundEntry(const std::string& folderPath, const std::string& name, bool step,
                       bool isDirectory, TDateTime date, int64_t size,
                       const std::string& realName = {});
    void AddArchiveMember(const TArchiveMember& member);
    // The folder EnterFolder last entered (null before the first).
    TTreeNode* CurrentNode() const { return current_; }
    void SetCurrentNode(TTreeNode* node) { current_ = node; }
    int MarkSeen(TTreeNode* node, bool value);
    int DeleteUnseen(TTreeNode* node);
    void ApplyDefaultsToTree(TTreeNode* node, bool includeTop);

    // The whole Add Volume sequence after the dialog; returns the new volume's
    // node, or null when the serial question was answered No ("infoCancel" is
    // thrown then) or the scan was stopped.
    TTreeNode* AddVolume(IQuestions& questions);
    // The Update sequence on `selected` after the dialog. With DeleteNotFound,
    // a source that looks like another medium (empty while the catalog holds
    // entries, or another serial) is asked about (default No); without
    // `questions` it is refused unless Options.Force. A refusal throws.
    void UpdateVolume(TTreeNode* selected, IQuestions* questions = nullptr);

    // Counts of the last scan, for the summary line.
    int64_t FoldersAdded = 0, FilesAdded = 0, EntriesSeen = 0, Errors = 0;
    bool Stopped() const { return stopped_; }
    // After AddVolume refused for a duplicate serial: the volume to select.
    TTreeNode* DuplicateNode = nullptr;

private:
    // One folder of the walk: its node and the length of its native path.
    struct TWalkFolder {
        TTreeNode* Node;
        size_t PathLength;
    };

    // Where the last part of a folder path ("/a/b/" or "CD\\a\\") starts.
    static size_t ParentLength(std::string_view path, char sep);
    bool StopNow();
    TTreeNode* FindPath(const std::string& path) const;
    void IndexNode(TTreeNode* node, const std::string& path);
    TTreeNode* ChildFolderNode(TTreeNode* parent, const std::string& caption, bool archive = false);
    void ApplyFolderDefaults(TLibFolder* f) const;
    void ApplyEntryDefaults(TLibFolderItem* e, bool folderEntry) const;
    void ReadArchive(const std::string& path, const std::string& shown, TArchiveKind kind);
    // Files an archive listed ahead, as ReadArchive would have.
    void FileArchiveRead(const TArchiveRead& listed, const std::string& shown);
    void LogArchiveNote(const TArchiveNote& note, const std::string& given,
                        const std::string& shown);
    void AddEntryTo(TTreeNode* node, const std::string& nativeFolder, const TSearchRec& rec,
                    bool step);
    void KeepUnreadEntry(TTreeNode* node, TLibFolderItem* e);
    // rec: the walk's record of the file; claim: what the handlers claim of its name.
    void ReadTags(TLibFolderItem* e, const std::string& nativeFolder,
                  const std::function<std::string()>& shownPath, const TSearchRec& rec,
                  const THandlerClaims::TClaim& claim, bool unchanged);
    // The catalog keeps a thumbnail of the entry as it is now.
    bool HasThumbnail(const TLibFolderItem* e);
    // A thumbnail the scan made goes with the catalog to its next save.
    void KeepThumbnail(const TLibFolderItem* e, const TSearchRec& rec, TTagsRead& got,
                       const std::function<std::string()>& shownPath);
    // The content hash, when the checksum handler claims the file; false when
    // Stop cut the read short.
    bool ReadChecksum(const TLibFolderItem* e, const std::string& readPath, TTagInfo& info,
                      bool claimed);
    bool StatusDue();
    // The entry `name` of `folder`, looked up from where the walk's last one was.
    TLibFolderItem* FindInOrder(TLibFolder* folder, std::string_view name);
    // A path readers can open for an entry of the folder being walked.
    std::string ReadPath(const std::string& folder, const TSearchRec& rec) const;
    void WalkEnterFolder(const std::string& path, const TSearchRec& rec);
    void WalkError(const std::string& path, int error);
    // knownEntries > 0: the progress steps by entries met up to that total
    // (an update); otherwise by the volume's size (an add).
    void Walk(const std::string& root, TTreeNode* top, int64_t knownEntries = 0);
    void CheckSameMedium(TTreeNode* selected, const std::string& root, IQuestions* questions);
    void Log(const std::string& key, const std::string& arg);

    TLibObj& lib_;
    const THandlerList* handlers_;
    IProgress& progress_;
    // The handlers' answers per extension: asked for every file.
    std::unique_ptr<THandlerClaims> claims_;
    // Catalog paths of the nodes made by EnterFolder (imports name folders by path).
    std::unordered_map<std::string, TTreeNode*> index_;
    TFileChecksum checksum_;
    // The catalog's thumbnails, opened when an update first asks.
    std::shared_ptr<TCatalogThumbs> thumbs_;
    // The walk's open folders, root first.
    std::vector<TWalkFolder> walkStack_;
    // Where the scan adds: its volume, the folder entered last, the archive being listed.
    TTreeNode* volume_ = nullptr;
    TTreeNode* current_ = nullptr;
    TTreeNode* archive_ = nullptr;
    bool stopped_ = false;
    // Seen by the walk's reader threads: set with stopped_ (held apart, so
    // that the scanner stays movable).
    std::unique_ptr<std::atomic<bool>> stopAhead_ = std::make_unique<std::atomic<bool>>(false);
    unsigned statusTick_ = 0;
    std::chrono::steady_clock::time_point nextStatus_{};
    // The walk in progress, and where the last entry was found in its folder.
    TFileSearch* walker_ = nullptr;
    const TLibFolder* cursorFolder_ = nullptr;
    size_t cursor_ = 0;
};

// Bytes below a node (or every volume when node is null), as TCatalogTotals
// counts them: an archive by its own size. Stops early when `stop` becomes true; safe to
// run on a worker thread while nothing changes the catalog.
int64_t TotalFileSize(const TLibObj& lib, const TTreeNode* node, const std::atomic<bool>& stop,
                      const std::function<void(int64_t)>& onProgress = {});
