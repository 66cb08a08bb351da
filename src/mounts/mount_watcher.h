#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// A mounted filesystem as the watcher reports it.
struct TMountedFs {
    std::string MountPoint; // native, without a trailing separator
    std::string Device;     // the mount table's source, such as /dev/sdb1
    std::string FileSystem;
    std::string Label;      // empty when unknown or not probed
    std::string Serial;     // eight upper-case hex digits; empty when unknown
    bool Removable = false; // on a disk that can be unplugged, as the probe tells
};

// The same mount: point, device and type (what the table tells apart).
inline bool SameMount(const TMountedFs& a, const TMountedFs& b) {
    return a.MountPoint == b.MountPoint && a.Device == b.Device && a.FileSystem == b.FileSystem;
}

struct TMountChange {
    bool Mounted = true; // false: unmounted
    TMountedFs Fs;
};

// Follows the mount table. The kernel marks the table's file ready for
// poll() at every change, so waiting costs nothing while nothing happens.
// Label and serial come from a probe the caller gives (the core reads no
// devices); an unmount reports what was probed at its mount.
class TMountWatcher {
public:
    // Fills Label and Serial of a filesystem just mounted.
    using TProbe = std::function<void(TMountedFs&)>;

    explicit TMountWatcher(TProbe probe = {}, std::string tablePath = "/proc/self/mountinfo");
    ~TMountWatcher();
    TMountWatcher(const TMountWatcher&) = delete;
    TMountWatcher& operator=(const TMountWatcher&) = delete;

    // Opens the table and takes what is mounted now as known: no changes are
    // reported for it. False when the table cannot be read.
    bool Start();
    const std::vector<TMountedFs>& Current() const { return current_; }

    // The descriptor that becomes ready (POLLPRI) when the table changes,
    // for a caller with its own event loop; -1 before Start.
    int Descriptor() const { return tableFd_; }

    // Waits up to timeoutMs (-1: without end) for a change or for Wake.
    // True when the table may have changed: call Refresh then.
    bool Wait(int timeoutMs);
    // Rereads the table and returns what was mounted and unmounted since the
    // last reading, unmounts first.
    std::vector<TMountChange> Refresh();

    // Makes a Wait return. Safe from a signal handler and another thread.
    void Wake();

private:
    bool ReadTable(std::string& text);

    TProbe probe_;
    std::string tablePath_;
    int tableFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::vector<TMountedFs> current_; // sorted by mount point, device, type
};

// Tells an operation reading a mounted filesystem that it was unmounted
// meanwhile. Cheap enough to ask for every entry: the table is read only
// after the kernel marked it changed, a few hundred times a second at most.
class TMountGuard {
public:
    // Guards the filesystem mounted on the longest mount point that holds
    // `path` (absolute, without "." or ".." parts or links).
    explicit TMountGuard(const std::string& path, std::string tablePath = "/proc/self/mountinfo");
    // The guarded mount; null when the table could not be read.
    const TMountedFs* Guarded() const { return found_ ? &fs_ : nullptr; }
    // True once the guarded filesystem left the table. `now`: look at the
    // table whenever it was last looked at (the last check of an operation).
    bool Gone(bool now = false);

private:
    TMountWatcher watcher_;
    TMountedFs fs_;
    bool found_ = false;
    bool gone_ = false;
    std::chrono::steady_clock::time_point next_{};
    unsigned calls_ = 0;
};

// Lowers the I/O priority of the calling thread (and the threads it starts)
// to the idle class while it lives, so that an unattended scan does not slow
// a disk the user is copying to; the old priority comes back after.
class TIdleIoPriority {
public:
    TIdleIoPriority();
    ~TIdleIoPriority();
    TIdleIoPriority(const TIdleIoPriority&) = delete;
    TIdleIoPriority& operator=(const TIdleIoPriority&) = delete;
    bool Lowered() const { return old_ >= 0; }

private:
    int old_ = -1;
};
