#pragma once

#include "files/search_rec.h"
#include "walk/folder_listing.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

// Walks a folder tree and reports, folder by folder, what it finds.
//
// Folder paths handed to the events are native paths (the real bytes) with a
// trailing "/"; the entry record carries the display name and, when it
// differs, the real one. Entries of each folder are reported sorted the way
// the catalog orders siblings (CompareText, then the exact bytes), so a
// catalog can append them. Symbolic links are reported and never followed;
// special files are reported and never opened.
class TFileSearch {
public:
    using TFolderEvent = std::function<void(const std::string& folderPath, const TSearchRec& rec)>;
    using TDoneEvent = std::function<void(TFileSearch& sender)>;
    // path: the native path that failed; error: an errno value.
    using TErrorEvent = std::function<void(const std::string& path, int error)>;
    // Called between entries (let a window run); true asks the walk to stop.
    using TPollEvent = std::function<bool()>;

    TFileSearch() { Reset(); }

    // Empties Results and sets Recursive, NoDuplicates and KeepResults true,
    // Searching and StopSearch false; events, SearchSpec, Levels and
    // FoldersOnly stay.
    void Reset();

    // Walks every item of the pattern ("root/*.*", "dir/*.mp3;*.wav"): items split
    // at ";", a later item without a folder part lies in the folder of the
    // item before it. levels: folder levels to list, the root being level 1,
    // 0 for no limit. foldersOnly limits OnFileFound to directories.
    // An error raised by an event handler ends the walk and reaches the caller.
    void Search(const std::string& pattern, uint16_t levels, bool foldersOnly);
    // Walks one folder, whatever its name holds ("*", "?", ";" are plain characters there).
    void SearchFolder(const std::string& folder, uint16_t levels, bool foldersOnly);

    bool Recursive = true;
    std::atomic<bool> StopSearch{false}; // may be set from any thread
    bool KeepResults = true;
    bool Searching = false;
    bool NoDuplicates = true;
    // Native full paths of the reported entries, in report order.
    std::vector<std::string> Results;

    TFolderEvent OnFileFound;   // (folder path, entry)
    TFolderEvent OnEnterFolder; // (folder path, record of that folder)
    TDoneEvent OnSearchDone;
    TErrorEvent OnError; // once per folder that cannot be listed, per entry that cannot be read
    TPollEvent OnPoll;

    // The open descriptor of the folder whose entries are being reported (valid
    // inside OnFileFound; -1 elsewhere): callers open entries relative to it,
    // which costs the same at any depth.
    int FolderDescriptor() const { return listingFd_; }
    // What AheadWork did for the entry being reported (valid inside
    // OnFileFound); null when it was not done ahead: the caller does it then.
    TEntryWork* WorkDone() const { return workDone_; }

    std::string SearchSpec;
    uint16_t Levels = 0;
    bool FoldersOnly = false;
    // Threads that read folders ahead of the walk; 0 reads each folder when
    // it is entered. The events, their order and what they carry are the same.
    unsigned Threads = 0;
    // Done for the files of folders read ahead, on the readers' threads.
    TEntryWorkFn AheadWork;
    // What AheadWork reads of a file, asked of the disk before it runs.
    TEntrySpansFn AheadSpans;

private:
    struct TFrame;
    void Prepare(uint16_t levels, bool foldersOnly);
    // One walk: prepared, `walk` run, the end reported; Searching is false
    // again afterwards, also when the walk throws.
    void Run(uint16_t levels, bool foldersOnly, const std::string& spec,
             const std::function<void()>& walk);
    void WalkItem(const std::string& item);
    // Depth first without recursion; a bounded number of folders stay open.
    void WalkFolder(const std::string& folder);
    void ReportFolder(TFrame& frame, size_t depth);
    bool ShouldStop();
    void AddResult(std::string path);

    struct TResultHash {
        const std::vector<std::string>* list;
        size_t operator()(size_t i) const;
    };
    struct TResultEq {
        const std::vector<std::string>* list;
        bool operator()(size_t a, size_t b) const { return (*list)[a] == (*list)[b]; }
    };
    std::unordered_set<size_t, TResultHash, TResultEq> seen_{0, TResultHash{&Results},
                                                             TResultEq{&Results}};
    std::string mask_;
    std::string path_; // the folder being listed or entered
    TReaderIdentity who_;
    int listingFd_ = -1;
    TEntryWork* workDone_ = nullptr;
};

// Whether a name matches a mask with "*" and "?", ignoring case; "*.*" and "*"
// match every name, a mask ending in "." matches names without an extension.
bool MatchesMask(std::string_view name, std::string_view mask);
