#pragma once

#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

// Readers that take paths get the files of a folder held open by descriptor
// N as "/proc/self/fd/N/name": short at any depth, so the kernel does not
// walk every level again. Opening such a path still walks /proc each time;
// RelativeToFolder lets the code that opens it go through N instead, which
// names the same file.

inline constexpr std::string_view kFolderFdPrefix = "/proc/self/fd/";

// A path naming `name` in the folder open as `folderFd`. Empty where there is no /proc.
inline std::string PathInFolder(int folderFd, const std::string& name) {
    static const bool viaProc = ::access("/proc/self/fd", X_OK) == 0;
    if (!viaProc || folderFd < 0) return {};
    return std::string(kFolderFdPrefix) + std::to_string(folderFd) + '/' + name;
}

// Where openat and fstatat find a path: its folder's descriptor and the name in it.
struct TFolderRelative {
    int folderFd;
    const char* name;
};

// For a path made by PathInFolder, the descriptor and the name; for any
// other path, AT_FDCWD and the path itself.
inline TFolderRelative RelativeToFolder(const char* path) {
    const TFolderRelative asIs{AT_FDCWD, path};
    const std::string_view p(path);
    if (p.substr(0, kFolderFdPrefix.size()) != kFolderFdPrefix) return asIs;
    size_t at = kFolderFdPrefix.size();
    int fd = 0;
    const size_t digitsFrom = at;
    while (at < p.size() && p[at] >= '0' && p[at] <= '9' && at - digitsFrom < 9)
        fd = fd * 10 + (p[at++] - '0');
    // The number as /proc writes it: no leading zero, which /proc would refuse.
    if (at == digitsFrom || at >= p.size() || p[at] != '/') return asIs;
    if (p[digitsFrom] == '0' && at - digitsFrom > 1) return asIs;
    const std::string_view name = p.substr(at + 1);
    // One name in the folder, as the walk lists it.
    if (name.empty() || name.find('/') != std::string_view::npos) return asIs;
    return {fd, path + at + 1};
}
