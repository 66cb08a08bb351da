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

void TFileSearch::Search(const std::string& pattern, uint16_t levels, bool foldersOnly) {
    SearchSpec = pattern; // paths are never cut
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

void TFileSearch::WalkItem(const std::string& item) {
    size_t slash = item.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : item.substr(0, slash + 1);
    mask_ = slash == std::string::npos ? item : item.substr(slash + 1);

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
            rec.Name = nametext::ToDisplayName(name);
            if (rec.Name != name) rec.NativeName = name;
        }
        rec.Attr = faDirectory;
        rec.Time = UnixToDateTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        rec.Mode = st.st_mode;
    }
    int fd = open(openPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    chain_.clear();
    ListFolder(fd, err, folder, rec, 0);
}

void TFileSearch::ListFolder(int dirFd, int openError, const std::string& folder,
                             const TSearchRec& rec, unsigned depth) {
    TDirCloser closer;
    closer.fd = dirFd;
    ++depth;
    if (OnEnterFolder) OnEnterFolder(folder, rec);
    if (dirFd < 0) {
        if (OnError) OnError(folder, openError);
        return;
    }
    // Ancestors of this folder, popped on every way out.
    struct TChainGuard {
        std::vector<std::pair<uint64_t, uint64_t>>& chain;
        size_t size;
        ~TChainGuard() { chain.resize(size); }
    } chainGuard{chain_, chain_.size()};
    struct stat self;
    if (fstat(dirFd, &self) == 0) chain_.emplace_back(self.st_dev, self.st_ino);

    bool readOnlyVolume = false;
    struct statvfs vfs;
    if (fstatvfs(dirFd, &vfs) == 0) readOnlyVolume = (vfs.f_flag & ST_RDONLY) != 0;

    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        if (OnError) OnError(folder, errno);
        return;
    }
    closer.dir = dir;
    int fd = dirfd(dir);

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
        if (nametext::IsValidUtf8(raw)) {
            e.rec.Name.assign(raw);
        } else {
            e.rec.Name = nametext::Cp1252ToUtf8(raw);
            e.rec.NativeName.assign(raw);
        }
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
            if (err != reportedErr && OnError) OnError(folder + de->d_name, err);
            reportedErr = err;
            if (err == ENOENT) continue; // gone since it was listed
            // Known by name only (a folder we may list but not search).
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
    // Pointers are sorted, not the records: moving records means copying names.
    std::vector<const TEntry*> order;
    order.reserve(entries.size());
    for (const TEntry& e : entries)
        order.push_back(&e);
    std::sort(order.begin(), order.end(), [](const TEntry* a, const TEntry* b) {
        int c = CompareText(a->rec.Name, b->rec.Name);
        if (c != 0) return c < 0;
        if (a->rec.Name != b->rec.Name) return a->rec.Name < b->rec.Name;
        return a->rec.RealName() < b->rec.RealName();
    });

    bool matchAll = mask_.empty() || mask_ == "*" || mask_ == "*.*";
    for (const TEntry* e : order) {
        if (StopSearch) break;
        if (matchAll || MatchesMask(e->rec.Name, mask_)) {
            if (OnFileFound && (!FoldersOnly || e->rec.IsDirectory())) OnFileFound(folder, e->rec);
            if (KeepResults) AddResult(folder + e->rec.RealName());
        }
        if (ShouldStop()) break;
    }

    if (!Recursive || (Levels != 0 && depth >= Levels)) return;
    std::erase_if(order, [](const TEntry* e) { return !e->rec.IsDirectory() || e->rec.Mode == 0; });
    for (const TEntry* ep : order) {
        const TEntry& e = *ep;
        if (ShouldStop()) break;
        // A bind mount can show a folder inside itself: never enter a folder twice.
        if (std::find(chain_.begin(), chain_.end(),
                      std::make_pair(uint64_t(e.dev), uint64_t(e.ino))) != chain_.end()) {
            if (OnError) OnError(folder + e.rec.RealName() + "/", ELOOP);
            continue;
        }
        int child =
            openat(fd, e.rec.RealName().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int err = child < 0 ? errno : 0;
        ListFolder(child, err, folder + e.rec.RealName() + "/", e.rec, depth);
    }
}
