#include "walk/folder_listing.h"

#include "text/name_text.h"
#include "text/string_list.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h> // ST_RDONLY
#include <unistd.h>

namespace {

bool IsDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

// File systems whose st_blocks is the space a file holds, delayed writes
// included. Elsewhere (FUSE, network shares) it may be 0 for every file.
bool CountsBlocksTruly(const struct statfs& fs) {
    constexpr unsigned long kExt = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E,
                            kTmpfs = 0x01021994, kOverlay = 0x794C7630;
    const auto type = static_cast<unsigned long>(fs.f_type);
    return type == kExt || type == kXfs || type == kBtrfs || type == kTmpfs || type == kOverlay;
}

// Whether the permission bits let `who` do what `bits` (owner's, group's,
// other's) name; root may read and write anything.
bool Allowed(const struct stat& st, const TReaderIdentity& who, mode_t user, mode_t group,
             mode_t other) {
    if (who.euid == 0) return true;
    if (st.st_uid == who.euid) return st.st_mode & user;
    if (st.st_gid == who.egid ||
        std::find(who.groups.begin(), who.groups.end(), st.st_gid) != who.groups.end())
        return st.st_mode & group;
    return st.st_mode & other;
}

// Fills what fstatat tells of one entry.
void TakeDetails(TListedEntry& e, const struct stat& st, const TReaderIdentity& who,
                 bool blocksTrue) {
    e.rec.Mode = st.st_mode;
    e.rec.Time = UnixToDateTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    e.dev = st.st_dev;
    e.ino = st.st_ino;
    if (S_ISDIR(st.st_mode)) {
        e.rec.Attr |= faDirectory;
    } else {
        e.rec.Size = st.st_size;
        if (S_ISLNK(st.st_mode))
            e.rec.Attr |= faSymLink;
        else if (!S_ISREG(st.st_mode))
            e.rec.Attr |= faSysFile;
        // Data stored in the inode has no block of its own, but it never
        // exceeds one block's size.
        e.rec.OnlyHoles = blocksTrue && S_ISREG(st.st_mode) && st.st_blocks == 0 &&
                          st.st_size > 4096 && Allowed(st, who, S_IRUSR, S_IRGRP, S_IROTH);
    }
    bool writable;
    if (S_ISLNK(st.st_mode))
        writable = true;
    else if (who.euid == 0) // root may write anything: go by the write bits
        writable = (st.st_mode & 0222) != 0;
    else
        writable = Allowed(st, who, S_IWUSR, S_IWGRP, S_IWOTH);
    if (!writable) e.rec.Attr |= faReadOnly;
}

} // namespace

TReaderIdentity TReaderIdentity::Current() {
    TReaderIdentity who;
    who.euid = geteuid();
    who.egid = getegid();
    int ng = getgroups(0, nullptr);
    if (ng > 0) {
        std::vector<gid_t> g(static_cast<size_t>(ng));
        ng = getgroups(ng, g.data());
        for (int i = 0; i < ng; ++i)
            who.groups.push_back(g[static_cast<size_t>(i)]);
    }
    return who;
}

TFolderFd::~TFolderFd() {
    if (fd >= 0) ::close(fd);
}

void ReadFolderListing(int fd, const TReaderIdentity& who, TFolderListing& out,
                       const std::function<bool()>& stop) {
    bool readOnlyVolume = false, blocksTrue = false;
    struct statfs fs;
    if (fstatfs(fd, &fs) == 0) {
        readOnlyVolume = (fs.f_flags & ST_RDONLY) != 0;
        blocksTrue = CountsBlocksTruly(fs);
    }

    // The folder's own descriptor is read directly: its position does not
    // matter to the opens and stats relative to it.
    alignas(dirent64) char buffer[32 * 1024];
    int reportedErr = 0;
    bool more = true;
    while (more) {
        ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0) out.errors.emplace_back(std::string(), errno);
            break;
        }
        for (ssize_t pos = 0; pos < got;) {
            auto* de = reinterpret_cast<dirent64*>(buffer + pos);
            pos += de->d_reclen;
            if (IsDotOrDotDot(de->d_name)) continue;
            TListedEntry e;
            std::string_view raw(de->d_name);
            e.rec.Name = nametext::DiskToCaption(raw);
            if (e.rec.Name != raw) e.rec.NativeName.assign(raw);
            struct stat st;
            if (fstatat(fd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                TakeDetails(e, st, who, blocksTrue);
            } else {
                int err = errno;
                if (err == ENOENT) continue; // gone since it was listed
                if (err != reportedErr) out.errors.emplace_back(raw, err);
                reportedErr = err;
                // Known by name only (a folder we may list but not search).
                e.rec.Error = err;
                if (de->d_type == DT_DIR)
                    e.rec.Attr |= faDirectory;
                else if (de->d_type == DT_LNK)
                    e.rec.Attr |= faSymLink;
                else if (de->d_type != DT_REG && de->d_type != DT_UNKNOWN)
                    e.rec.Attr |= faSysFile;
            }
            if (e.rec.Name[0] == '.') e.rec.Attr |= faHidden;
            if (readOnlyVolume) e.rec.Attr |= faReadOnly;
            out.entries.push_back(std::move(e));
            if (stop && stop()) {
                more = false;
                break;
            }
        }
    }

    // The catalog's sibling order, so that every insert there is an append.
    // Indexes are sorted, not the records: moving records means copying names.
    const auto& entries = out.entries;
    out.order.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        out.order[i] = static_cast<uint32_t>(i);
    std::sort(out.order.begin(), out.order.end(), [&](uint32_t ia, uint32_t ib) {
        const TSearchRec& a = entries[ia].rec;
        const TSearchRec& b = entries[ib].rec;
        int c = CompareText(a.Name, b.Name);
        if (c != 0) return c < 0;
        if (a.Name != b.Name) return a.Name < b.Name;
        return a.RealName() < b.RealName();
    });
    for (uint32_t i : out.order)
        if (entries[i].rec.IsDirectory() && entries[i].rec.Mode != 0)
            out.subfolders.push_back(entries[i]);
}

// ---- reading ahead ----

std::shared_ptr<TFolderVisit> TFolderVisit::Child(uint32_t index) const {
    auto v = std::make_shared<TFolderVisit>();
    v->key = key;
    if (v->key.size() < kMaxKeyDepth) v->key.push_back(index);
    return v;
}

namespace {

bool KeyStartsWith(const std::vector<uint32_t>& key, const std::vector<uint32_t>& prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

} // namespace

size_t AskForSpans(int folderFd, const std::vector<TListedEntry>& entries,
                   const TEntrySpansFn& spans) {
    struct TAsk {
        ino_t ino;
        uint32_t index;
        TReadSpans spans;
    };
    std::vector<TAsk> asks;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TSearchRec& rec = entries[i].rec;
        // Only plain files with data: a FIFO is never opened, holes need no disk.
        if (rec.IsDirectory() || rec.Error != 0 || (rec.Attr & (faSysFile | faSymLink)) != 0 ||
            rec.OnlyHoles || rec.Size <= 0)
            continue;
        const TReadSpans s = spans(rec);
        if (s.Head > 0 || s.Tail > 0) asks.push_back({entries[i].ino, uint32_t(i), s});
    }
    // One file alone gains nothing from being asked for ahead of its read.
    if (asks.size() < 2) return 0;
    std::sort(asks.begin(), asks.end(), [](const TAsk& a, const TAsk& b) { return a.ino < b.ino; });
    for (const TAsk& a : asks) {
        const TSearchRec& rec = entries[a.index].rec;
        const int fd = ::openat(folderFd, rec.RealName().c_str(),
                                O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) continue;
        // Only a hint: the kernel starts the reads and returns at once.
        if (a.spans.Head + a.spans.Tail >= rec.Size) {
            ::posix_fadvise(fd, 0, rec.Size, POSIX_FADV_WILLNEED);
        } else {
            if (a.spans.Head > 0) ::posix_fadvise(fd, 0, a.spans.Head, POSIX_FADV_WILLNEED);
            if (a.spans.Tail > 0)
                ::posix_fadvise(fd, rec.Size - a.spans.Tail, a.spans.Tail, POSIX_FADV_WILLNEED);
        }
        ::close(fd);
    }
    return asks.size();
}

TFolderPrefetch::TFolderPrefetch(unsigned threads, TReaderIdentity who,
                                 const std::atomic<bool>& stop, uint16_t levels, TEntryWorkFn work,
                                 TEntrySpansFn spans)
    : who_(std::move(who)), stopWalk_(stop), levels_(levels), work_(std::move(work)),
      spans_(std::move(spans)), maxReady_(MaxReady()), maxThreads_(MaxThreadsFor(threads)) {
    threads_.reserve(maxThreads_);
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Work(); });
}

TFolderPrefetch::~TFolderPrefetch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    jobsChanged_.notify_all();
    readDone_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

namespace {

// Folders that may wait read ahead, at most. A file that takes a reader long
// (a video whose library reads its every byte) holds the walk there; the
// other readers go on only as far as this lets them.
constexpr size_t kMostReady = 4096;

size_t DescriptorsFor(size_t ready) {
    return ready * 4 + 64;
}

} // namespace

unsigned TFolderPrefetch::MaxThreadsFor(unsigned threads) {
    return threads == 0 ? 0 : std::max(threads * 2, 4u);
}

size_t TFolderPrefetch::MaxReady() {
    // Each holds a descriptor; the walk itself keeps a few dozen open.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) return 48;
    if (files.rlim_cur == RLIM_INFINITY) return kMostReady;
    const size_t spare = files.rlim_cur > 64 ? (files.rlim_cur - 64) / 4 : 0;
    return std::clamp<size_t>(spare, 4, kMostReady);
}

void TFolderPrefetch::RaiseDescriptorLimit() {
    // Many systems start programs with a soft limit of 1,024 and a far higher
    // hard one; the soft one is raised only as far as the readers can use.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return;
    const rlim_t want = DescriptorsFor(kMostReady);
    if (files.rlim_cur >= want) return;
    files.rlim_cur = files.rlim_max == RLIM_INFINITY ? want : std::min(want, files.rlim_max);
    setrlimit(RLIMIT_NOFILE, &files);
}

bool TFolderPrefetch::HasRoom() const {
    return taken_.size() < maxReady_ && readyEntries_ < kMaxReadyEntries;
}

TFolderPrefetch::TPending TFolderPrefetch::PlaceOf(const TFolderVisit& parent, uint32_t index) {
    TPending p{parent.key, &parent, index, nullptr};
    if (p.key.size() < TFolderVisit::kMaxKeyDepth) p.key.push_back(index);
    return p;
}

void TFolderPrefetch::QueueLocked(const std::shared_ptr<TFolderVisit>& folder) {
    if (folder->childrenQueued || folder->dropped || !folder->fd) return;
    folder->childrenQueued = true;
    // The root is level 1: below the last level nothing is read.
    if (levels_ != 0 && folder->key.size() + 1 >= levels_) return;
    const size_t n = folder->listing.subfolders.size();
    for (size_t i = 0; i < n; ++i) {
        TPending p = PlaceOf(*folder, static_cast<uint32_t>(i));
        p.parent = folder;
        pending_.insert(pending_.end(), std::move(p));
    }
}

void TFolderPrefetch::QueueChildren(const std::shared_ptr<TFolderVisit>& folder) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        QueueLocked(folder);
        wake = ReaderWantedLocked();
    }
    // One reader; it wakes the next if more is left.
    if (wake) jobsChanged_.notify_one();
}

std::shared_ptr<TFolderVisit> TFolderPrefetch::Take(const std::shared_ptr<TFolderVisit>& parent,
                                                    uint32_t index) {
    const TPending place = PlaceOf(*parent, index);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        auto it = taken_.find(place);
        if (it != taken_.end() && !it->second.visit) {
            waitedFor_ = &place; // a reader is at it
            readDone_.wait(lock);
            waitedFor_ = nullptr;
            continue;
        }
        if (it != taken_.end()) {
            std::shared_ptr<TFolderVisit> v = std::move(it->second.visit);
            taken_.erase(it);
            readyEntries_ -= v->listing.entries.size();
            const bool wake = ReaderWantedLocked(); // it made room
            lock.unlock();
            if (wake) jobsChanged_.notify_one();
            return v;
        }
        // Not begun: reading it here is as quick as waiting for a reader.
        pending_.erase(place);
        return nullptr;
    }
}

void TFolderPrefetch::ReleaseFd(TFolderVisit& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Only the jobs that would open a folder through this descriptor.
    for (auto it = pending_.lower_bound(TPending{folder.key, nullptr, 0, nullptr});
         it != pending_.end() && KeyStartsWith(it->key, folder.key);) {
        if (it->parentId == &folder)
            it = pending_.erase(it);
        else
            ++it;
    }
    folder.fd.reset();
}

void TFolderPrefetch::Drop(const TFolderVisit& folder) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Past the depth where places are kept this may drop more than it must:
    // the walk then reads those folders itself.
    for (auto it = pending_.lower_bound(TPending{folder.key, nullptr, 0, nullptr});
         it != pending_.end() && KeyStartsWith(it->key, folder.key);)
        it = pending_.erase(it);
    for (auto it = taken_.lower_bound(TPending{folder.key, nullptr, 0, nullptr});
         it != taken_.end() && KeyStartsWith(it->first.key, folder.key);) {
        TReady& r = it->second;
        if (!r.visit) {
            r.dropped = true; // thrown away when its reader is done
            ++it;
        } else {
            r.visit->dropped = true;
            readyEntries_ -= r.visit->listing.entries.size();
            it = taken_.erase(it);
        }
    }
    const bool wake = ReaderWantedLocked();
    lock.unlock();
    if (wake) jobsChanged_.notify_one();
}

std::shared_ptr<TFolderVisit> TFolderPrefetch::Read(const TJob& job,
                                                    const std::shared_ptr<TFolderFd>& parentFd) {
    const TListedEntry& e = job.parent->listing.subfolders[job.index];
    std::shared_ptr<TFolderVisit> v = job.parent->Child(job.index);
    int fd = ::openat(parentFd->fd, e.rec.RealName().c_str(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        v->openError = errno;
        // Out of descriptors or memory here is not the folder's fault: the walk tries itself.
        if (v->openError == EMFILE || v->openError == ENFILE || v->openError == ENOMEM)
            return nullptr;
        return v;
    }
    v->fd = std::make_shared<TFolderFd>(fd);
    struct stat self;
    if (fstat(fd, &self) == 0) v->id = {self.st_dev, self.st_ino};
    ReadFolderListing(fd, who_, v->listing,
                      [this] { return stopWalk_.load(std::memory_order_relaxed); });
    if (stopWalk_) return nullptr;
    if (work_) {
        const std::vector<TListedEntry>& entries = v->listing.entries;
        if (spans_) AskForSpans(fd, entries, spans_);
        v->listing.work.resize(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            if (stopWalk_.load(std::memory_order_relaxed)) return nullptr;
            const TSearchRec& rec = entries[i].rec;
            if (!rec.IsDirectory() && rec.Error == 0) v->listing.work[i] = work_(fd, rec);
        }
    }
    return v;
}

void TFolderPrefetch::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        while (!quit_ && (pending_.empty() || !HasRoom())) {
            ++idleReaders_;
            jobsChanged_.wait(lock);
            --idleReaders_;
        }
        if (quit_) return;
        auto first = pending_.begin();
        TJob job{first->parent, first->index};
        pending_.erase(first);
        // Wakes are one at a time: more work left wakes the next reader.
        if (ReaderWantedLocked()) jobsChanged_.notify_one();
        std::shared_ptr<TFolderFd> parentFd = job.parent->fd;
        if (!parentFd || job.parent->dropped) continue;
        const TPending id = PlaceOf(*job.parent, job.index);
        taken_[id] = TReady{job.parent, nullptr, false};
        lock.unlock();
        std::shared_ptr<TFolderVisit> v;
        rusage before{}, after{};
        getrusage(RUSAGE_THREAD, &before);
        try {
            v = Read(job, parentFd);
        } catch (...) {
            v = nullptr; // the walk reads it itself
        }
        parentFd.reset();
        getrusage(RUSAGE_THREAD, &after);
        lock.lock();
        // A reader that waited for blocks from the disk within one folder reads
        // a cold disc or drive, which answers sooner with more requests at
        // once: another reader joins, up to a limit. On a warm one nothing
        // comes from the disk, and no more threads compete for the cores.
        if (after.ru_inblock > before.ru_inblock &&
            after.ru_nvcsw - before.ru_nvcsw >= kWaitsToGrow && !quit_ &&
            threads_.size() < maxThreads_)
            threads_.emplace_back([this] { Work(); });
        auto r = taken_.find(id);
        if (!v || r->second.dropped || job.parent->dropped || quit_) {
            taken_.erase(r);
        } else {
            readyEntries_ += v->listing.entries.size();
            r->second.visit = v;
            QueueLocked(v);
        }
        // Whether read or given up, the walk waiting for this one goes on.
        const bool walkWaits = waitedFor_ && !(*waitedFor_ < id) && !(id < *waitedFor_);
        lock.unlock();
        if (walkWaits) readDone_.notify_one();
        lock.lock();
    }
}
