#pragma once

#include "files/volume_info.h"
#include "mounts/mount_watcher.h"

#include <string>

// Volume information from the system: mount points, sizes and the list of
// mounted filesystems from QStorageInfo; label and serial from the device
// that /proc/self/mountinfo names, probed with libblkid where it is present.
class TSystemVolumeInfo : public IVolumeInfoProvider {
public:
    TVolumeInfo Query(const std::string& path) override;
    std::vector<TVolumeInfo> MountedVolumes() override;
};

// Label and serial read from a device or a filesystem image. A device that
// cannot be opened or holds no known filesystem leaves both empty; false then.
bool ProbeVolumeDevice(const std::string& device, std::string& label, std::string& serial,
                       std::string& fileSystem);

// Whether the disk holding a block device (such as /dev/sdb1, or a mapped
// device on one) can be unplugged: the kernel's removable flag (card readers,
// optical drives), or a disk attached through USB or an SD card slot.
// `sysBlock` is the kernel's folder of block devices.
bool IsRemovableDevice(const std::string& device, const std::string& sysBlock = "/sys/class/block");

// The mount watcher's probe: label and serial of a filesystem on a device
// (an ISO disc by its descriptor), and whether it is removable; others are
// left without.
void ProbeMountedFs(TMountedFs& fs);
