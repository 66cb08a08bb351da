#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the program knows of the filesystem holding a path. The platform
// library fills it in; without a provider every query gives empty values.
struct TVolumeInfo {
    std::string RootPath;    // mount point, native, with a trailing separator
    std::string Device;      // such as /dev/sdb1; empty when not a device
    std::string FileSystem;  // such as vfat, ext4, iso9660
    std::string Label;       // empty when unknown
    std::string Serial;      // eight upper-case hex digits; empty when unknown
    int64_t TotalBytes = -1; // -1 when unknown
    int64_t FreeBytes = -1;
    int64_t UsedBytes() const {
        return TotalBytes >= 0 && FreeBytes >= 0 ? TotalBytes - FreeBytes : -1;
    }
    bool Valid() const { return !RootPath.empty(); }
};

class IVolumeInfoProvider {
public:
    virtual ~IVolumeInfoProvider() = default;
    // The volume that holds path (a file or folder). Never throws: a path
    // that cannot be queried gives an empty record.
    virtual TVolumeInfo Query(const std::string& path) = 0;
    // Mounted filesystems worth offering as volumes, in mount-point order.
    virtual std::vector<TVolumeInfo> MountedVolumes() = 0;
};

// The provider the free functions ask; the caller keeps it alive. nullptr
// (the start state) makes every query empty.
void SetVolumeInfoProvider(IVolumeInfoProvider* provider);
IVolumeInfoProvider* VolumeInfoProvider();

TVolumeInfo GetVolumeInfo(const std::string& path);
// Serial of the volume holding path as eight upper-case hex digits, or "".
std::string GetVolumeSerial(const std::string& path);
// Label of the volume holding path, or "".
std::string GetVolumeLabel(const std::string& path);
std::vector<TVolumeInfo> GetMountedVolumes();

// Helpers the provider uses; kept here, free of the platform, so they are tested alike.

// A serial number as "%.8X".
std::string FormatVolumeSerial(uint32_t serial);
// The serial from a filesystem ID as the system reports it: FAT "1234-ABCD" gives
// "1234ABCD"; a 64-bit NTFS ID gives its low 32 bits (16 hex digits, the last
// eight); a longer UUID gives its first eight digits. "" when id holds anything
// but hex digits and "-", or no digit.
std::string VolumeSerialFromId(std::string_view id);
// The serial of an ISO 9660 disc from its 2048-byte primary volume descriptor:
// a byte-wise checksum, the number Windows shows for the disc.
std::string IsoVolumeSerial(const uint8_t* descriptor, size_t size);

// One line of /proc/self/mountinfo.
struct TMountEntry {
    std::string MountPoint; // escapes (\040 and the like) decoded
    std::string FileSystem;
    std::string Source; // the device or what stands for it
};
// The lines of a mountinfo text; malformed lines are skipped.
std::vector<TMountEntry> ParseMountInfo(std::string_view text);
// The entry mounted last on the longest mount point that holds path (an
// absolute path without "." or ".." parts); nullptr when none does.
const TMountEntry* FindMountFor(const std::vector<TMountEntry>& mounts, std::string_view path);

// Used bytes of the file system when `root` is a mount point; 0 otherwise.
int64_t MountPointUsedBytes(const std::string& root);
// 1: the folder holds something; 0: it is empty; -1: it cannot be listed.
int FolderHolds(const std::string& path);
