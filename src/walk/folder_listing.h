#pragma once

#include "files/path_in_folder.h"
#include "files/search_rec.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

// One entry of a folder as read from the disk, with its identity.
struct TListedEntry {
    TSearchRec rec;
    dev_t dev = 0;
    ino_t ino = 0;
};

// What was worked out for one entry ahead of its report, on a reader's thread.
class TEntryWork {
public:
    virtual ~TEntryWork() = default;
};

// Work for a file that may be done ahead of its report, on any reader's
// thread (so it must be safe to run on several at once): `folderFd` is the
// open folder holding `rec`. Null when there is nothing to do for it.
using TEntryWorkFn =
    std::function<std::unique_ptr<TEntryWork>(int folderFd, const TSearchRec& rec)>;

// The bytes of a file its work reads first: the start, and the end (where
// tags and archive directories may lie). Zero when it reads nothing.
struct TReadSpans {
    int64_t Head = 0, Tail = 0;
};
using TEntrySpansFn = std::function<TReadSpans(const TSearchRec& rec)>;

// Asks the disk for the spans of the files of a folder that the work will
// read, all at once and in the order of their inodes (about the order of
// their data on the disk), so that the reads wait on one queue of requests
// instead of one request each. Returns the number of files asked for.
size_t AskForSpans(int folderFd, const std::vector<TListedEntry>& entries,
                   const TEntrySpansFn& spans);

// Who reads: decides the read-only bit the way the system would.
struct TReaderIdentity {
    unsigned euid = 0, egid = 0;
    std::vector<unsigned> groups;
    static TReaderIdentity Current();
};

// Everything a walk needs of one folder, read in one go so that it can be
// read ahead on another thread and reported later.
struct TFolderListing {
    std::vector<TListedEntry> entries; // in the order read
    std::vector<uint32_t> order;       // indexes of `entries` in the catalog's sibling order
    // The folders to go into, in the catalog's order. Never changed once read:
    // readers ahead use it while the walk reports.
    std::vector<TListedEntry> subfolders;
    // Errors in the order met: the entry's name ("" for the folder itself) and errno.
    std::vector<std::pair<std::string, int>> errors;
    // Done ahead, by index of `entries`; empty when the folder was read without it.
    std::vector<std::unique_ptr<TEntryWork>> work;
};

// Reads the folder open as `fd`: names, details, catalog order. `stop` is
// asked after every entry; true leaves the listing cut short.
void ReadFolderListing(int fd, const TReaderIdentity& who, TFolderListing& out,
                       const std::function<bool()>& stop);

// An open folder descriptor, closed with the last owner.
struct TFolderFd {
    explicit TFolderFd(int f) : fd(f) {}
    ~TFolderFd();
    TFolderFd(const TFolderFd&) = delete;
    TFolderFd& operator=(const TFolderFd&) = delete;
    int fd;
};

// One folder of a walk: where it lies in the walk's order (the index of each
// folder on the way down, the first kMaxKeyDepth levels only: it orders the
// reading ahead, it never identifies a folder), its descriptor, its listing.
struct TFolderVisit {
    static constexpr size_t kMaxKeyDepth = 64;
    std::vector<uint32_t> key;
    std::shared_ptr<TFolderFd> fd; // null when it could not be opened, or was let go
    int openError = 0;
    std::pair<uint64_t, uint64_t> id{0, 0}; // device and inode
    TFolderListing listing;
    bool childrenQueued = false;
    bool dropped = false; // no longer wanted: whatever is read below it is thrown away

    // The visit of subfolder `index` of this one, not yet opened.
    std::shared_ptr<TFolderVisit> Child(uint32_t index) const;
};

// Reads folders ahead of a depth-first walk on a few threads. Only the
// subfolders of folders already read are read ahead, nearest in walk order
// first, and only a bounded number of them wait at any time (each holds a
// descriptor). The walk takes them in its own order; whatever is not ready
// and not begun it reads itself, so it never waits on a full queue.
class TFolderPrefetch {
public:
    // levels: folder levels to read, the root being 1; 0 for all.
    // work: done for each file of the folders read ahead (may be empty);
    // spans: what it reads, asked of the disk first (may be empty).
    TFolderPrefetch(unsigned threads, TReaderIdentity who, const std::atomic<bool>& stop,
                    uint16_t levels, TEntryWorkFn work = {}, TEntrySpansFn spans = {});
    ~TFolderPrefetch();
    TFolderPrefetch(const TFolderPrefetch&) = delete;
    TFolderPrefetch& operator=(const TFolderPrefetch&) = delete;

    // Offers the subfolders of a folder the walk has read to the readers.
    void QueueChildren(const std::shared_ptr<TFolderVisit>& folder);
    // The subfolder `index` of `parent`, opened and read; null when the
    // caller must open and read it itself.
    std::shared_ptr<TFolderVisit> Take(const std::shared_ptr<TFolderVisit>& parent, uint32_t index);
    // The walk closes the descriptor of `folder`: what was not begun below it goes.
    void ReleaseFd(TFolderVisit& folder);
    // The walk is done with `folder`: whatever was read below it goes.
    void Drop(const TFolderVisit& folder);

    // Folders read and waiting: fewer when descriptors are scarce.
    static size_t MaxReady();
    // Readers at most, when the disk keeps them waiting.
    static unsigned MaxThreadsFor(unsigned threads);
    // Waits within one folder's read, blocks read from the disk among them,
    // that bring another reader.
    static constexpr long kWaitsToGrow = 2;
    // Raises the process's soft limit of open descriptors toward what
    // MaxReady can use, within the hard limit: for a program's start.
    static void RaiseDescriptorLimit();
    static constexpr size_t kMaxReadyEntries = 200000; // their entries together

private:
    struct TJob {
        std::shared_ptr<TFolderVisit> parent;
        uint32_t index;
    };
    // A job waiting for a reader, in walk order (its place, then the folder
    // itself where the place is cut short). Jobs taken are kept in the same
    // order, without their parent, so that a folder's are found as a range.
    struct TPending {
        std::vector<uint32_t> key;
        const TFolderVisit* parentId;
        uint32_t index;
        std::shared_ptr<TFolderVisit> parent;
        bool operator<(const TPending& o) const {
            if (key != o.key) return key < o.key;
            if (parentId != o.parentId)
                return std::less<const TFolderVisit*>()(parentId, o.parentId);
            return index < o.index;
        }
    };
    struct TReady {
        std::shared_ptr<TFolderVisit> parent; // keeps the id's folder alive
        std::shared_ptr<TFolderVisit> visit;  // null while it is being read
        bool dropped = false;
    };
    void Work();
    void QueueLocked(const std::shared_ptr<TFolderVisit>& folder);
    bool HasRoom() const;
    // The place of subfolder `index` of `parent`, as taken_ and pending_ order it.
    static TPending PlaceOf(const TFolderVisit& parent, uint32_t index);
    std::shared_ptr<TFolderVisit> Read(const TJob& job, const std::shared_ptr<TFolderFd>& parentFd);

    const TReaderIdentity who_;
    const std::atomic<bool>& stopWalk_;
    const uint16_t levels_;
    const TEntryWorkFn work_;
    const TEntrySpansFn spans_;
    const size_t maxReady_;
    const unsigned maxThreads_;
    // Whether a reader waits that could begin a job now.
    bool ReaderWantedLocked() const { return idleReaders_ > 0 && !pending_.empty() && HasRoom(); }

    std::mutex mutex_;
    // Each side is woken only when there is something for it: a wake-up that
    // finds nothing to do costs two system calls and a switch of threads.
    std::condition_variable jobsChanged_; // readers wait here
    std::condition_variable readDone_;    // the walk waits here, for waitedFor_
    size_t idleReaders_ = 0;
    const TPending* waitedFor_ = nullptr;
    std::set<TPending> pending_;
    // Being read (no visit yet) or read and waiting: MaxReady at most.
    std::map<TPending, TReady> taken_;
    size_t readyEntries_ = 0;
    bool quit_ = false;
    std::vector<std::thread> threads_;
};
