#include "walk/walker.h"

#include "text/name_text.h"
#include "text/string_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

char FoldChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool MatchFrom(std::string_view n, std::string_view m) {
    // Iterative "*" matching with one backtrack point: linear in practice.
    size_t ni = 0, mi = 0, starM = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == '?' || FoldChar(m[mi]) == FoldChar(n[ni]))) {
            ++ni, ++mi;
        } else if (mi < m.size() && m[mi] == '*') {
            starM = mi++, starN = ni;
        } else if (starM != std::string_view::npos) {
            mi = starM + 1, ni = ++starN;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == '*')
        ++mi;
    return mi == m.size();
}

bool HasWildcard(std::string_view s) {
    return s.find_first_of("*?") != std::string_view::npos;
}

// The items of a pattern, split at ";". A ";" ends an item only after a mask
// with a wildcard, so folder names that hold a ";" are walked whole. A later
// item without a folder of its own lies in the folder of the one before.
std::vector<std::string> PatternItems(const std::string& pattern) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t i = 0; i <= pattern.size(); ++i) {
        if (i < pattern.size() && pattern[i] != ';') continue;
        std::string_view piece(pattern.data() + start, i - start);
        size_t slash = piece.rfind('/');
        std::string_view last = slash == std::string_view::npos ? piece : piece.substr(slash + 1);
        if (i < pattern.size() && !HasWildcard(last)) continue;
        std::string item(piece);
        if (!items.empty() && (item.empty() || item.front() != '/')) {
            const std::string& prev = items.back();
            size_t ps = prev.rfind('/');
            if (ps != std::string::npos) item = prev.substr(0, ps + 1) + item;
        }
        items.push_back(std::move(item));
        start = i + 1;
    }
    return items;
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty() || mask == "*" || mask == "*.*") return true;
    // A mask ending in "." also matches names without an extension ("*." lists them).
    if (mask.back() == '.' && name.find('.') == std::string_view::npos)
        return MatchFrom(name, mask.substr(0, mask.size() - 1));
    return MatchFrom(name, mask);
}

size_t TFileSearch::TResultHash::operator()(size_t i) const {
    return std::hash<std::string>{}((*list)[i]);
}

void TFileSearch::Reset() {
    Results.clear();
    seen_.clear();
    Recursive = true;
    NoDuplicates = true;
    Searching = false;
    StopSearch = false;
    KeepResults = true;
}

bool TFileSearch::ShouldStop() {
    if (!StopSearch && OnPoll && OnPoll()) StopSearch = true;
    return StopSearch;
}

void TFileSearch::AddResult(std::string path) {
    Results.push_back(std::move(path));
    if (NoDuplicates && !seen_.insert(Results.size() - 1).second) Results.pop_back();
}

void TFileSearch::Prepare(uint16_t levels, bool foldersOnly) {
    Levels = levels;
    FoldersOnly = foldersOnly;
    StopSearch = false;
    Searching = true;
    Results.clear();
    seen_.clear();
    who_ = TReaderIdentity::Current();
}

void TFileSearch::Run(uint16_t levels, bool foldersOnly, const std::string& spec,
                      const std::function<void()>& walk) {
    Prepare(levels, foldersOnly);
    SearchSpec = spec;
    try {
        walk();
        if (OnSearchDone) OnSearchDone(*this);
    } catch (...) {
        Searching = false;
        throw;
    }
    Searching = false;
}

void TFileSearch::Search(const std::string& pattern, uint16_t levels, bool foldersOnly) {
    // SearchSpec is the whole pattern: paths are never cut.
    Run(levels, foldersOnly, pattern, [&] {
        for (const std::string& item : PatternItems(pattern))
            WalkItem(item);
    });
}

void TFileSearch::SearchFolder(const std::string& folder, uint16_t levels, bool foldersOnly) {
    std::string root = folder;
    if (root.empty() || root.back() != '/') root += '/';
    Run(levels, foldersOnly, root, [&] {
        mask_.clear();
        WalkFolder(root);
    });
}

void TFileSearch::WalkItem(const std::string& item) {
    size_t slash = item.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : item.substr(0, slash + 1);
    mask_ = slash == std::string::npos ? item : item.substr(slash + 1);
    WalkFolder(folder);
}

namespace {

struct TPairHash {
    size_t operator()(const std::pair<uint64_t, uint64_t>& p) const {
        return std::hash<uint64_t>{}(p.first * 0x9E3779B97F4A7C15ull ^ p.second);
    }
};

// How many folders of one walk stay open at most; deeper walks reopen a
// folder from its child when they come back to it.
constexpr size_t kMaxOpenFolders = 16;

} // namespace

// One folder on the walk's way down: its visit (descriptor, identity,
// subfolders) and the next subfolder to enter.
struct TFileSearch::TFrame {
    std::shared_ptr<TFolderVisit> visit;
    size_t pathLength = 0;
    size_t next = 0;
};

void TFileSearch::WalkFolder(const std::string& folder) {
    // The root is what the user chose: a link to a folder is followed here only.
    std::string openPath = folder.empty() ? "." : folder;
    std::string lookup = folder;
    while (lookup.size() > 1 && lookup.back() == '/')
        lookup.pop_back();
    if (lookup.empty()) lookup = ".";
    TSearchRec rec;
    struct stat st;
    if (stat(lookup.c_str(), &st) == 0) {
        size_t ls = lookup.rfind('/');
        std::string name = ls == std::string::npos ? lookup : lookup.substr(ls + 1);
        if (lookup != "/" && lookup != ".") {
            rec.Name = nametext::DiskToCaption(name);
            if (rec.Name != name) rec.NativeName = name;
        }
        rec.Attr = faDirectory;
        rec.Time = UnixToDateTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        rec.Mode = st.st_mode;
    }
    auto root = std::make_shared<TFolderVisit>();
    int fd = open(openPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        root->fd = std::make_shared<TFolderFd>(fd);
    else
        root->openError = errno;

    // Declared before the frames: its readers are stopped before the frames go.
    std::unique_ptr<TFolderPrefetch> prefetch;
    if (Threads > 0 && Recursive && Levels != 1)
        prefetch = std::make_unique<TFolderPrefetch>(Threads, who_, StopSearch, Levels, AheadWork,
                                                     AheadSpans);
    std::vector<TFrame> stack;
    std::unordered_set<std::pair<uint64_t, uint64_t>, TPairHash> open;
    size_t firstOpen = 0; // frames below this index have their descriptor closed
    path_ = folder;

    // Enters the folder at path_: `v` is opened (or failed to), and read when `ready`.
    auto enter = [&](const std::shared_ptr<TFolderVisit>& v, bool ready, const TSearchRec& r) {
        if (OnEnterFolder) OnEnterFolder(path_, r);
        if (!v->fd) {
            if (OnError) OnError(path_, v->openError);
            return;
        }
        if (!ready) {
            if (StopSearch) return;
            struct stat self;
            if (fstat(v->fd->fd, &self) == 0) v->id = {self.st_dev, self.st_ino};
            ReadFolderListing(v->fd->fd, who_, v->listing, [this] { return ShouldStop(); });
        }
        TFrame frame;
        frame.visit = v;
        frame.pathLength = path_.size();
        stack.push_back(std::move(frame));
        open.insert(v->id);
        // The readers go on below this folder while its entries are reported.
        if (prefetch && !StopSearch) prefetch->QueueChildren(v);
        ReportFolder(stack.back(), stack.size());
        // Keep the descriptors bounded: the folder farthest up closes first.
        if (stack.size() - firstOpen > kMaxOpenFolders) {
            if (prefetch)
                prefetch->ReleaseFd(*stack[firstOpen].visit);
            else
                stack[firstOpen].visit->fd.reset();
            ++firstOpen;
        }
    };
    enter(root, false, rec);

    while (!stack.empty()) {
        TFrame& top = stack.back();
        const std::vector<TListedEntry>& subfolders = top.visit->listing.subfolders;
        if (top.next >= subfolders.size() || ShouldStop()) {
            open.erase(top.visit->id);
            if (prefetch) prefetch->Drop(*top.visit);
            std::shared_ptr<TFolderFd> childFd = std::move(top.visit->fd);
            stack.pop_back();
            if (!stack.empty() && !stack.back().visit->fd && !StopSearch) {
                // Back up to a folder whose descriptor was closed: reopen it
                // from below and make sure it is still the same folder.
                TFrame& parent = stack.back();
                int pfd = childFd ? openat(childFd->fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                  : (errno = EBADF, -1);
                struct stat st2;
                if (pfd >= 0 && (fstat(pfd, &st2) != 0 ||
                                 std::make_pair(uint64_t(st2.st_dev), uint64_t(st2.st_ino)) !=
                                     parent.visit->id)) {
                    close(pfd);
                    pfd = -1;
                    errno = ESTALE;
                }
                if (pfd < 0) {
                    // Its other subfolders cannot be reached safely any more.
                    path_.resize(parent.pathLength);
                    if (OnError) OnError(path_, errno);
                    parent.next = parent.visit->listing.subfolders.size();
                } else {
                    parent.visit->fd = std::make_shared<TFolderFd>(pfd);
                }
                firstOpen = stack.size() - 1;
            }
            continue;
        }
        const uint32_t index = static_cast<uint32_t>(top.next++);
        const TListedEntry& e = subfolders[index];
        path_.resize(top.pathLength);
        path_ += e.rec.RealName();
        path_ += '/';
        // A bind mount can show a folder inside itself: never enter a folder twice.
        if (open.count({uint64_t(e.dev), uint64_t(e.ino)})) {
            if (OnError) OnError(path_, ELOOP);
            continue;
        }
        std::shared_ptr<TFolderVisit> child =
            prefetch && top.visit->fd ? prefetch->Take(top.visit, index) : nullptr;
        const bool ready = child != nullptr;
        if (!child) {
            child = top.visit->Child(index);
            int cfd = top.visit->fd ? openat(top.visit->fd->fd, e.rec.RealName().c_str(),
                                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                    : (errno = EBADF, -1);
            if (cfd >= 0)
                child->fd = std::make_shared<TFolderFd>(cfd);
            else
                child->openError = errno;
        }
        TSearchRec childRec = e.rec;
        enter(child, ready, childRec);
    }
}

void TFileSearch::ReportFolder(TFrame& frame, size_t depth) {
    const std::string& folder = path_;
    TFolderListing& listing = frame.visit->listing;
    if (!StopSearch)
        for (const auto& [name, err] : listing.errors)
            if (OnError) OnError(name.empty() ? folder : folder + name, err);

    bool matchAll = mask_.empty() || mask_ == "*" || mask_ == "*.*";
    struct TListing {
        int& fd;
        TEntryWork*& work;
        ~TListing() {
            fd = -1;
            work = nullptr;
        }
    } current{listingFd_, workDone_};
    listingFd_ = frame.visit->fd->fd;
    for (uint32_t i : listing.order) {
        const TListedEntry& e = listing.entries[i];
        if (StopSearch) break;
        if (matchAll || MatchesMask(e.rec.Name, mask_)) {
            workDone_ = i < listing.work.size() ? listing.work[i].get() : nullptr;
            if (OnFileFound && (!FoldersOnly || e.rec.IsDirectory())) OnFileFound(folder, e.rec);
            if (KeepResults) AddResult(folder + e.rec.RealName());
        }
        if (ShouldStop()) break;
    }
    // Only the subfolders stay while the walk is below this folder.
    listing.entries = {};
    listing.order = {};
    listing.errors = {};
    listing.work = decltype(listing.work)();
    // The subfolders themselves stay as they are: readers ahead may be using them.
    if (!Recursive || (Levels != 0 && depth >= Levels) || StopSearch)
        frame.next = listing.subfolders.size();
}
