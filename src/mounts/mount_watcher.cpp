#include "mounts/mount_watcher.h"

#include "files/volume_info.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <tuple>
#include <unistd.h>

namespace {

bool KeyLess(const TMountedFs& a, const TMountedFs& b) {
    return std::tie(a.MountPoint, a.Device, a.FileSystem) <
           std::tie(b.MountPoint, b.Device, b.FileSystem);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

TMountWatcher::TMountWatcher(TProbe probe, std::string tablePath)
    : probe_(std::move(probe)), tablePath_(std::move(tablePath)) {}

TMountWatcher::~TMountWatcher() {
    CloseFd(tableFd_);
    CloseFd(wakeFds_[0]);
    CloseFd(wakeFds_[1]);
}

bool TMountWatcher::Start() {
    if (tableFd_ >= 0) return true;
    tableFd_ = ::open(tablePath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (tableFd_ < 0) return false;
    if (wakeFds_[0] < 0 && ::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakeFds_[0] = wakeFds_[1] = -1;
        CloseFd(tableFd_);
        return false;
    }
    // What was mounted before the start is known, not news; it is probed
    // all the same, so that Current() tells labels and serials.
    current_.clear();
    Refresh();
    return true;
}

bool TMountWatcher::ReadTable(std::string& text) {
    text.clear();
    if (::lseek(tableFd_, 0, SEEK_SET) < 0) return false;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(tableFd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buf, static_cast<size_t>(n));
    }
}

std::vector<TMountChange> TMountWatcher::Refresh() {
    std::vector<TMountChange> changes;
    std::string text;
    if (tableFd_ < 0 || !ReadTable(text)) return changes;
    std::vector<TMountedFs> now;
    for (TMountEntry& e : ParseMountInfo(text)) {
        TMountedFs fs;
        fs.MountPoint = std::move(e.MountPoint);
        fs.Device = std::move(e.Source);
        fs.FileSystem = std::move(e.FileSystem);
        now.push_back(std::move(fs));
    }
    std::stable_sort(now.begin(), now.end(), KeyLess);
    // Both lists sorted: one merge finds what left and what came.
    std::vector<TMountChange> added;
    size_t i = 0, j = 0;
    while (i < current_.size() || j < now.size()) {
        if (j == now.size() || (i < current_.size() && KeyLess(current_[i], now[j]))) {
            changes.push_back(TMountChange{false, current_[i++]});
        } else if (i == current_.size() || KeyLess(now[j], current_[i])) {
            if (probe_) probe_(now[j]);
            added.push_back(TMountChange{true, now[j++]});
        } else {
            now[j++] = current_[i++]; // keeps what was probed
        }
    }
    changes.insert(changes.end(), added.begin(), added.end());
    current_ = std::move(now);
    return changes;
}

bool TMountWatcher::Wait(int timeoutMs) {
    if (tableFd_ < 0) return false;
    pollfd fds[2] = {{tableFd_, POLLPRI, 0}, {wakeFds_[0], POLLIN, 0}};
    int n = ::poll(fds, 2, timeoutMs);
    if (n <= 0) return false; // timeout, or a signal: the caller looks at its flags
    if (fds[1].revents & POLLIN) {
        char buf[64];
        while (::read(wakeFds_[0], buf, sizeof buf) > 0) {
        }
    }
    return (fds[0].revents & (POLLPRI | POLLERR)) != 0;
}

void TMountWatcher::Wake() {
    if (wakeFds_[1] < 0) return;
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFds_[1], &c, 1);
}

TMountGuard::TMountGuard(const std::string& path, std::string tablePath)
    : watcher_({}, std::move(tablePath)) {
    if (!watcher_.Start()) return;
    std::vector<TMountEntry> entries;
    for (const TMountedFs& fs : watcher_.Current())
        entries.push_back(TMountEntry{fs.MountPoint, fs.FileSystem, fs.Device});
    if (const TMountEntry* m = FindMountFor(entries, path)) {
        fs_ = watcher_.Current()[static_cast<size_t>(m - entries.data())];
        found_ = true;
    }
}

bool TMountGuard::Gone(bool now) {
    if (!found_ || gone_) return gone_;
    // Asked several times per entry: the clock itself is read every few calls.
    if (!now && (++calls_ & 15) != 0) return false;
    const auto time = std::chrono::steady_clock::now();
    if (!now && time < next_) return false;
    next_ = time + std::chrono::milliseconds(5);
    if (!watcher_.Wait(0) && !now) return false;
    watcher_.Refresh();
    const std::vector<TMountedFs>& current = watcher_.Current();
    gone_ = std::none_of(current.begin(), current.end(),
                         [&](const TMountedFs& fs) { return SameMount(fs, fs_); });
    return gone_;
}

// The kernel's ioprio values, which glibc does not declare.
namespace {
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassIdle = 3;
} // namespace

TIdleIoPriority::TIdleIoPriority() {
#ifdef SYS_ioprio_set
    long old = ::syscall(SYS_ioprio_get, kIoprioWhoProcess, 0);
    if (old < 0) return;
    if (::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift) == 0)
        old_ = static_cast<int>(old);
#endif
}

TIdleIoPriority::~TIdleIoPriority() {
#ifdef SYS_ioprio_set
    if (old_ >= 0) ::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, old_);
#endif
}
