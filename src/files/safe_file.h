#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one way the program writes a file. The data goes to a hidden file
// beside the target (".NAME.UID.tamblix-tmp", one name per target and user,
// so a crash leaves at most one, and the next save reuses it; when another
// user's file holds that name, a unique one) and replaces the target only
// when Commit succeeds; a stop, a full disk or a crash leaves the old file.
// A symbolic link is followed when the writer starts, so the link stays and
// its target is replaced. A target that exists and is not a regular file (a
// folder, a FIFO, a socket, a device) is refused before anything is written.
// The new file keeps the old one's mode, extended attributes and access
// lists, and its owner and group where the user may set them. A target with
// other hard links is written in place instead, after a backup copy
// (".NAME.UID.tamblix-bak", kept when that write fails), so that every link
// sees the new contents. Errors are EMessageError with:
//   "errWrite" (path and reason), "errNotRegular" (path),
//   "errReadOnlyFolder" (the folder the target lies in).
class TSafeFileWriter {
public:
    explicit TSafeFileWriter(std::string path);
    ~TSafeFileWriter(); // removes the new file unless committed
    TSafeFileWriter(const TSafeFileWriter&) = delete;
    TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

    void Write(const void* data, size_t n);
    void Write(std::string_view s) { Write(s.data(), s.size()); }
    // Flushes, syncs, renames over the target and syncs the folder, so that a
    // save that reported success survives a power cut.
    void Commit();
    // The path as given, and the file that is really replaced.
    const std::string& Path() const { return path_; }
    const std::string& Target() const { return target_; }
    const std::string& TempPath() const { return tmp_; }

private:
    void OpenTemp();
    void CommitInPlace();
    void SyncFolder();
    void FlushBuffer();
    void WriteAll(const char* p, size_t n);
    [[noreturn]] void Fail(const std::string& what);

    std::string path_;
    std::string target_;
    std::string tmp_;
    int fd_ = -1;
    bool committed_ = false;
    std::string buf_;
};

// The whole file at once, through TSafeFileWriter.
void WriteFileAtomically(const std::string& path, std::string_view data);

// The temporary file a save of `target` uses (target already resolved), and
// the backup copy of a target with other hard links.
std::string SafeWriteTempPath(const std::string& target);
std::string SafeWriteBackupPath(const std::string& target);
// The folder a save of `target` writes in ("." for a bare name).
std::string SafeWriteFolder(const std::string& target);
// The file a write to `path` replaces: symbolic links followed (also a
// dangling one, whose target is created). Throws "errWrite" on a loop.
std::string ResolveWriteTarget(const std::string& path);
