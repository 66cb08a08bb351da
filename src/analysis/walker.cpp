#include "analysis/walker.h"

#include "analysis/name_text.h"
#include "analysis/string_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Closes a directory stream or a plain descriptor on every way out.
struct TDirCloser {
    DIR* dir = nullptr;
    int fd = -1;
    ~TDirCloser() {
        if (dir)
            closedir(dir);
        else if (fd >= 0)
            close(fd);
    }
};

bool IsDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

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

struct TFileSearch::TEntry {
    TSearchRec rec;
    dev_t dev = 0;
    ino_t ino = 0;
};

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
    euid_ = geteuid();
    egid_ = getegid();
    groups_.clear();
    int ng = getgroups(0, nullptr);
    if (ng > 0) {
        std::vector<gid_t> g(static_cast<size_t>(ng));
        ng = getgroups(ng, g.data());
        for (int i = 0; i < ng; ++i)
            groups_.push_back(g[static_cast<size_t>(i)]);
    }
}

void TFileSearch::Search(const std::string& pattern, uint16_t levels, bool foldersOnly) {
    Prepare(levels, foldersOnly);
    SearchSpec = pattern; // paths are never cut
    try {
        // Items split at ";". A ";" ends an item only after a mask with a
        // wildcard, so folder names that hold a ";" are walked whole. A later
        // item without a folder of its own lies in the folder of the one before.
        std::vector<std::string> items;
        size_t start = 0;
        for (size_t i = 0; i <= pattern.size(); ++i) {
            if (i < pattern.size() && pattern[i] != ';') continue;
            std::string_view piece(pattern.data() + start, i - start);
            size_t slash = piece.rfind('/');
            std::string_view last =
                slash == std::string_view::npos ? piece : piece.substr(slash + 1);
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
        for (const std::string& item : items)
            WalkItem(item);
        if (OnSearchDone) OnSearchDone(*this);
    } catch (...) {
        Searching = false;
        throw;
    }
    Searching = false;
}

void TFileSearch::SearchFolder(const std::string& folder, uint16_t levels, bool foldersOnly) {
    std::string root = folder;
    if (root.empty() || root.back() != '/') root += '/';
    Prepare(levels, foldersOnly);
    SearchSpec = root;
    try {
        mask_.clear();
        WalkFolder(root);
        if (OnSearchDone) OnSearchDone(*this);
    } catch (...) {
        Searching = false;
        throw;
    }
    Searching = false;
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

// One folder on the walk's way down: its descriptor (closed while far above
// the deepest folder), its identity, and the subfolders still to enter.
struct TFileSearch::TFrame {
    int fd = -1;
    size_t pathLength = 0;
    std::pair<uint64_t, uint64_t> id{0, 0};
    std::vector<TEntry> subfolders;
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
    int fd = open(openPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;

    std::vector<TFrame> stack;
    std::unordered_set<std::pair<uint64_t, uint64_t>, TPairHash> open;
    size_t firstOpen = 0; // frames below this index have their descriptor closed
    struct TCloseAll {
        std::vector<TFrame>& frames;
        ~TCloseAll() {
            for (TFrame& f : frames)
                if (f.fd >= 0) close(f.fd);
        }
    } closeAll{stack};
    path_ = folder;

    // Enters the folder at path_ (already opened as `dirFd`, or failed with `openError`).
    auto enter = [&](int dirFd, int openError, const TSearchRec& r) {
        if (OnEnterFolder) OnEnterFolder(path_, r);
        if (dirFd < 0) {
            if (OnError) OnError(path_, openError);
            return;
        }
        TFrame frame;
        frame.fd = dirFd;
        frame.pathLength = path_.size();
        struct stat self;
        if (fstat(dirFd, &self) == 0) frame.id = {self.st_dev, self.st_ino};
        stack.push_back(std::move(frame));
        open.insert(stack.back().id);
        ListFolder(stack.back(), stack.size());
        // Keep the descriptors bounded: the folder farthest up closes first.
        if (stack.size() - firstOpen > kMaxOpenFolders) {
            close(stack[firstOpen].fd);
            stack[firstOpen].fd = -1;
            ++firstOpen;
        }
    };
    enter(fd, err, rec);

    while (!stack.empty()) {
        TFrame& top = stack.back();
        if (top.next >= top.subfolders.size() || ShouldStop()) {
            open.erase(top.id);
            int childFd = top.fd;
            stack.pop_back();
            if (!stack.empty() && stack.back().fd < 0 && !StopSearch) {
                // Back up to a folder whose descriptor was closed: reopen it
                // from below and make sure it is still the same folder.
                TFrame& parent = stack.back();
                int pfd = openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                struct stat st2;
                if (pfd >= 0 &&
                    (fstat(pfd, &st2) != 0 ||
                     std::make_pair(uint64_t(st2.st_dev), uint64_t(st2.st_ino)) != parent.id)) {
                    close(pfd);
                    pfd = -1;
                    errno = ESTALE;
                }
                if (pfd < 0) {
                    // Its other subfolders cannot be reached safely any more.
                    path_.resize(parent.pathLength);
                    if (OnError) OnError(path_, errno);
                    parent.next = parent.subfolders.size();
                }
                parent.fd = pfd;
                firstOpen = stack.size() - 1;
            }
            if (childFd >= 0) close(childFd);
            continue;
        }
        const TEntry& e = top.subfolders[top.next++];
        path_.resize(top.pathLength);
        path_ += e.rec.RealName();
        path_ += '/';
        // A bind mount can show a folder inside itself: never enter a folder twice.
        if (open.count({uint64_t(e.dev), uint64_t(e.ino)})) {
            if (OnError) OnError(path_, ELOOP);
            continue;
        }
        int child = openat(top.fd, e.rec.RealName().c_str(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int childErr = child < 0 ? errno : 0;
        TSearchRec childRec = e.rec;
        enter(child, childErr, childRec);
    }
}

void TFileSearch::ListFolder(TFrame& frame, size_t depth) {
    const std::string& folder = path_;
    bool readOnlyVolume = false;
    struct statvfs vfs;
    if (fstatvfs(frame.fd, &vfs) == 0) readOnlyVolume = (vfs.f_flag & ST_RDONLY) != 0;

    // The listing gets a descriptor of its own; the frame's stays for opening subfolders.
    int listFd = dup(frame.fd);
    DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
    if (!dir) {
        int err = errno;
        if (listFd >= 0) close(listFd);
        if (OnError) OnError(folder, err);
        return;
    }
    TDirCloser closer;
    closer.dir = dir;
    const int fd = frame.fd;

    std::vector<TEntry> entries;
    int reportedErr = 0;
    while (!StopSearch) {
        errno = 0;
        dirent* de = readdir(dir);
        if (!de) {
            if (errno != 0 && OnError) OnError(folder, errno);
            break;
        }
        if (IsDotOrDotDot(de->d_name)) continue;
        TEntry e;
        std::string_view raw(de->d_name);
        e.rec.Name = nametext::DiskToCaption(raw);
        if (e.rec.Name != raw) e.rec.NativeName.assign(raw);
        struct stat st;
        if (fstatat(fd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
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
            }
            bool writable;
            if (S_ISLNK(st.st_mode))
                writable = true;
            else if (euid_ == 0) // root may write anything: go by the write bits
                writable = (st.st_mode & 0222) != 0;
            else if (st.st_uid == euid_)
                writable = st.st_mode & S_IWUSR;
            else if (st.st_gid == egid_ ||
                     std::find(groups_.begin(), groups_.end(), st.st_gid) != groups_.end())
                writable = st.st_mode & S_IWGRP;
            else
                writable = st.st_mode & S_IWOTH;
            if (!writable) e.rec.Attr |= faReadOnly;
        } else {
            int err = errno;
            if (err == ENOENT) continue; // gone since it was listed
            if (err != reportedErr && OnError) OnError(folder + de->d_name, err);
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
        entries.push_back(std::move(e));
        if (ShouldStop()) break;
    }

    // The catalog's sibling order, so that every insert there is an append.
    // Indexes are sorted, not the records: moving records means copying names.
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t ia, size_t ib) {
        const TSearchRec& a = entries[ia].rec;
        const TSearchRec& b = entries[ib].rec;
        int c = CompareText(a.Name, b.Name);
        if (c != 0) return c < 0;
        if (a.Name != b.Name) return a.Name < b.Name;
        return a.RealName() < b.RealName();
    });

    bool matchAll = mask_.empty() || mask_ == "*" || mask_ == "*.*";
    struct TListing {
        int& fd;
        ~TListing() { fd = -1; }
    } listing{listingFd_};
    listingFd_ = fd;
    for (size_t i : order) {
        const TEntry& e = entries[i];
        if (StopSearch) break;
        if (matchAll || MatchesMask(e.rec.Name, mask_)) {
            if (OnFileFound && (!FoldersOnly || e.rec.IsDirectory())) OnFileFound(folder, e.rec);
            if (KeepResults) AddResult(folder + e.rec.RealName());
        }
        if (ShouldStop()) break;
    }

    if (!Recursive || (Levels != 0 && depth >= Levels) || StopSearch) return;
    for (size_t i : order)
        if (entries[i].rec.IsDirectory() && entries[i].rec.Mode != 0)
            frame.subfolders.push_back(std::move(entries[i]));
}
