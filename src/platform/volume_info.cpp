#include "platform/volume_info.h"

#include "files/file_utils.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStorageInfo>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#ifdef TAMBLIX_HAVE_BLKID
#include <blkid.h>
#endif

namespace {

std::string ReadMountInfo() {
    // Not QFile::readAll: /proc files report a size of 0.
    std::ifstream in("/proc/self/mountinfo", std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string IsoSerialOf(const std::string& device) {
    std::ifstream in(device, std::ios::binary);
    if (!in) return {};
    std::vector<uint8_t> pvd(2048);
    in.seekg(16 * 2048);
    in.read(reinterpret_cast<char*>(pvd.data()), static_cast<std::streamsize>(pvd.size()));
    if (in.gcount() != static_cast<std::streamsize>(pvd.size())) return {};
    return IsoVolumeSerial(pvd.data(), pvd.size());
}

std::string ToStd(const QString& s) {
    return s.toUtf8().toStdString();
}

// Filesystems a user may catalog: those on a device, and network shares.
bool IsUserFileSystem(const TVolumeInfo& v) {
    static const std::vector<std::string> network = {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs"};
    if (v.FileSystem == "squashfs") return false; // packaged applications
    if (v.Device.rfind("/dev/", 0) == 0) return true;
    return std::find(network.begin(), network.end(), v.FileSystem) != network.end();
}

} // namespace

bool ProbeVolumeDevice(const std::string& device, std::string& label, std::string& serial,
                       std::string& fileSystem) {
    label.clear();
    serial.clear();
    fileSystem.clear();
#ifdef TAMBLIX_HAVE_BLKID
    blkid_probe pr = blkid_new_probe_from_filename(device.c_str());
    if (!pr) return false; // no such device, or no permission to read it
    blkid_probe_enable_superblocks(pr, 1);
    blkid_probe_set_superblocks_flags(pr,
                                      BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    std::string uuid;
    if (blkid_do_safeprobe(pr) == 0) {
        const char* value = nullptr;
        size_t len = 0;
        if (blkid_probe_lookup_value(pr, "LABEL", &value, &len) == 0 && value) label = value;
        if (blkid_probe_lookup_value(pr, "UUID", &value, &len) == 0 && value) uuid = value;
        if (blkid_probe_lookup_value(pr, "TYPE", &value, &len) == 0 && value) fileSystem = value;
    }
    blkid_free_probe(pr);
    // A disc's number is a checksum of its descriptor, not the time stamp
    // that stands for its UUID.
    if (fileSystem == "iso9660") serial = IsoSerialOf(device);
    if (serial.empty()) serial = VolumeSerialFromId(uuid);
    return !fileSystem.empty();
#else
    if (!device.empty()) serial = IsoSerialOf(device);
    if (!serial.empty()) fileSystem = "iso9660";
    return !serial.empty();
#endif
}

namespace {

bool RemovableDisk(const std::filesystem::path& sysDevice, int depth) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path disk = fs::canonical(sysDevice, ec);
    if (ec) return false;
    if (fs::exists(disk / "partition", ec)) disk = disk.parent_path();
    char flag = 0;
    if (std::ifstream(disk / "removable") >> flag && flag == '1') return true;
    // The bus the disk hangs on: its folder lies below the USB host or the SD card slot.
    for (const fs::path& part : disk) {
        const std::string name = part.string();
        if (name.rfind("usb", 0) == 0 || name == "mmc_host") return true;
    }
    // A mapped device (an encrypted stick, say): the disks below it.
    if (depth < 4)
        for (const fs::directory_entry& e : fs::directory_iterator(disk / "slaves", ec))
            if (RemovableDisk(e.path(), depth + 1)) return true;
    return false;
}

} // namespace

bool IsRemovableDevice(const std::string& device, const std::string& sysBlock) {
    std::error_code ec;
    const std::filesystem::path node = std::filesystem::canonical(device, ec); // links in /dev
    if (ec || node.filename().empty()) return false;
    return RemovableDisk(std::filesystem::path(sysBlock) / node.filename(), 0);
}

void ProbeMountedFs(TMountedFs& fs) {
    if (fs.Device.rfind("/dev/", 0) != 0) return;
    std::string type;
    ProbeVolumeDevice(fs.Device, fs.Label, fs.Serial, type);
    fs.Removable = IsRemovableDevice(fs.Device);
}

TVolumeInfo TSystemVolumeInfo::Query(const std::string& path) {
    TVolumeInfo v;
    QString canonical = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    if (canonical.isEmpty()) return v; // missing, or a broken link
    QStorageInfo storage(canonical);
    if (!storage.isValid()) return v;

    v.RootPath = AddPathSeparator(ToStd(storage.rootPath()));
    v.Device = ToStd(QString::fromUtf8(storage.device()));
    v.FileSystem = ToStd(QString::fromUtf8(storage.fileSystemType()));
    v.Label = ToStd(storage.name());
    if (storage.isReady()) {
        v.TotalBytes = storage.bytesTotal();
        v.FreeBytes = storage.bytesFree();
    }

    // The mount table names the device when QStorageInfo has none or another.
    auto mounts = ParseMountInfo(ReadMountInfo());
    if (const TMountEntry* m = FindMountFor(mounts, ToStd(canonical))) {
        v.RootPath = AddPathSeparator(m->MountPoint);
        v.Device = m->Source;
        v.FileSystem = m->FileSystem;
    }
    if (v.Device.rfind("/dev/", 0) == 0) {
        std::string label, serial, fs;
        ProbeVolumeDevice(v.Device, label, serial, fs);
        if (!label.empty()) v.Label = label;
        v.Serial = serial;
    }
    return v;
}

std::vector<TVolumeInfo> TSystemVolumeInfo::MountedVolumes() {
    std::vector<TVolumeInfo> out;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (!s.isValid() || !s.isReady()) continue;
        TVolumeInfo brief;
        brief.Device = ToStd(QString::fromUtf8(s.device()));
        brief.FileSystem = ToStd(QString::fromUtf8(s.fileSystemType()));
        if (!IsUserFileSystem(brief)) continue;
        TVolumeInfo v = Query(ToStd(s.rootPath()));
        if (v.Valid()) out.push_back(std::move(v));
    }
    std::sort(out.begin(), out.end(),
              [](const TVolumeInfo& a, const TVolumeInfo& b) { return a.RootPath < b.RootPath; });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const TVolumeInfo& a, const TVolumeInfo& b) {
                              return a.RootPath == b.RootPath;
                          }),
              out.end());
    return out;
}
