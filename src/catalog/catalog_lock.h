#pragma once

#include <string>

// The lock a program writing a catalog holds, so that two writers never build
// their saves from the same old file and lose each other's changes. The
// command line holds it from load to save; the window while it saves. Readers
// never take it, and nothing needs it to read a catalog.
//
// It is an advisory flock() on the catalog file itself: no file of ours
// beside the catalog and nothing added to it, so read-only media and older
// builds are unaffected. A save replaces the file, so a writer that waited on
// the old file takes the lock again on the one now at the path. A catalog
// that does not exist yet is claimed by locking its folder until it is made.
class TCatalogLock {
public:
    TCatalogLock() = default;
    ~TCatalogLock();
    TCatalogLock(TCatalogLock&& other) noexcept;
    TCatalogLock& operator=(TCatalogLock&& other) noexcept;
    TCatalogLock(const TCatalogLock&) = delete;
    TCatalogLock& operator=(const TCatalogLock&) = delete;

    // Waits up to `waitMs` milliseconds for the lock on `path` (symbolic
    // links followed). Throws EMessageError "errCatalogLocked" with the
    // path and who holds the lock when it stays taken. A path that cannot
    // be opened, or is no regular file, is left unlocked: the load that
    // follows reports it better than a lock could.
    static TCatalogLock Acquire(const std::string& path, int waitMs);

    bool Held() const { return fd_ >= 0; }
    void Release();

    // "tamblix-cli, process 1234" for the program holding a lock on `path`,
    // or an empty text when nobody does or it cannot be told.
    static std::string Holder(const std::string& path);

private:
    explicit TCatalogLock(int fd) : fd_(fd) {}

    int fd_ = -1;
};
