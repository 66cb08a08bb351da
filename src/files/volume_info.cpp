#include "files/volume_info.h"

#include "text/text_utils.h"

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {
IVolumeInfoProvider* gProvider = nullptr;

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string DecodeMountField(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t b = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > b) out.push_back(line.substr(b, i - b));
    }
    return out;
}

// True when mount point mp holds path.
bool Holds(std::string_view mp, std::string_view path) {
    if (mp == "/") return !path.empty() && path.front() == '/';
    if (path.substr(0, mp.size()) != mp) return false;
    return path.size() == mp.size() || path[mp.size()] == '/';
}
} // namespace

void SetVolumeInfoProvider(IVolumeInfoProvider* provider) {
    gProvider = provider;
}

IVolumeInfoProvider* VolumeInfoProvider() {
    return gProvider;
}

TVolumeInfo GetVolumeInfo(const std::string& path) {
    if (!gProvider || path.empty()) return {};
    try {
        return gProvider->Query(path);
    } catch (...) {
        // Volume queries report failure as empty values, never as an error.
        return {};
    }
}

std::string GetVolumeSerial(const std::string& path) {
    return GetVolumeInfo(path).Serial;
}

std::string GetVolumeLabel(const std::string& path) {
    return GetVolumeInfo(path).Label;
}

std::vector<TVolumeInfo> GetMountedVolumes() {
    if (!gProvider) return {};
    try {
        return gProvider->MountedVolumes();
    } catch (...) {
        return {};
    }
}

std::string FormatVolumeSerial(uint32_t serial) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.8X", serial);
    return buf;
}

std::string VolumeSerialFromId(std::string_view id) {
    std::string digits;
    for (char c : id) {
        if (c == '-') continue;
        if (!IsHex(c)) return {};
        digits += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 32) : c;
    }
    if (digits.empty()) return {};
    if (digits.size() < 8) return std::string(8 - digits.size(), '0') + digits;
    if (digits.size() == 16) return digits.substr(8);
    return digits.substr(0, 8);
}

std::string IsoVolumeSerial(const uint8_t* descriptor, size_t size) {
    if (!descriptor || size < 2048) return {};
    // A primary volume descriptor: type 1 and "CD001".
    if (descriptor[0] != 1 || descriptor[1] != 'C' || descriptor[2] != 'D' ||
        descriptor[3] != '0' || descriptor[4] != '0' || descriptor[5] != '1')
        return {};
    uint8_t sum[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 2048; i += 4) {
        sum[0] = static_cast<uint8_t>(sum[0] + descriptor[i + 3]);
        sum[1] = static_cast<uint8_t>(sum[1] + descriptor[i + 2]);
        sum[2] = static_cast<uint8_t>(sum[2] + descriptor[i + 1]);
        sum[3] = static_cast<uint8_t>(sum[3] + descriptor[i]);
    }
    uint32_t serial = static_cast<uint32_t>(sum[3]) << 24 | static_cast<uint32_t>(sum[2]) << 16 |
                      static_cast<uint32_t>(sum[1]) << 8 | sum[0];
    return FormatVolumeSerial(serial);
}

std::vector<TMountEntry> ParseMountInfo(std::string_view text) {
    std::vector<TMountEntry> out;
    for (std::string_view line : SplitAt(text, '\n')) {
        // id parent major:minor root mount-point options [optional...] - fstype source
        // super-options
        auto f = SplitBlanks(line);
        size_t dash = 0;
        for (size_t i = 6; i < f.size(); ++i)
            if (f[i] == "-") {
                dash = i;
                break;
            }
        if (f.size() < 5 || dash == 0 || dash + 2 >= f.size()) continue;
        TMountEntry e;
        e.MountPoint = DecodeMountField(f[4]);
        e.FileSystem = DecodeMountField(f[dash + 1]);
        e.Source = DecodeMountField(f[dash + 2]);
        out.push_back(std::move(e));
    }
    return out;
}

const TMountEntry* FindMountFor(const std::vector<TMountEntry>& mounts, std::string_view path) {
    const TMountEntry* best = nullptr;
    for (const auto& m : mounts) {
        if (!Holds(m.MountPoint, path)) continue;
        // Later lines are mounted over earlier ones on the same point.
        if (!best || m.MountPoint.size() >= best->MountPoint.size()) best = &m;
    }
    return best;
}

// Used bytes of the filesystem when `root` is a mount point; 0 otherwise.
int64_t MountPointUsedBytes(const std::string& root) {
    struct stat self {
    }, parent{};
    if (::stat(root.c_str(), &self) != 0 || ::stat((root + "..").c_str(), &parent) != 0) return 0;
    bool mountPoint = self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
    if (!mountPoint) return 0;
    struct statvfs vfs {};
    if (::statvfs(root.c_str(), &vfs) != 0) return 0;
    return static_cast<int64_t>(vfs.f_blocks - vfs.f_bfree) * static_cast<int64_t>(vfs.f_frsize);
}

// 1: the folder holds something; 0: it is empty; -1: it cannot be listed.
int FolderHolds(const std::string& path) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return -1;
    int result = 0;
    while (dirent* de = ::readdir(d)) {
        const char* n = de->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        result = 1;
        break;
    }
    ::closedir(d);
    return result;
}
