#include "mounts/mount_match.h"
#include "mounts/mount_watcher.h"
#include "platform/volume_info.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

std::string Line(int id, const std::string& point, const std::string& type,
                 const std::string& source) {
    return std::to_string(id) + " 1 0:1 / " + point + " rw - " + type + " " + source + " rw\n";
}

void WriteTable(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

const TMountChange* Find(const std::vector<TMountChange>& changes, bool mounted,
                         const std::string& point) {
    for (const TMountChange& c : changes)
        if (c.Mounted == mounted && c.Fs.MountPoint == point) return &c;
    return nullptr;
}

} // namespace

// The table read from a file: what came and went between readings, the
// probe asked once per new mount, an unmount telling what was probed.
TEST(MountWatcher, ReportsWhatCameAndWentBetweenReadings) {
    TTempFolder tmp;
    const std::string table = tmp.File("mountinfo");
    WriteTable(table, Line(1, "/", "ext4", "/dev/sda1") + Line(2, "/media/a", "vfat", "/dev/sdb1"));
    int probes = 0;
    TMountWatcher w(
        [&](TMountedFs& fs) {
            ++probes;
            fs.Label = "L" + fs.MountPoint;
            fs.Serial = "1234ABCD";
        },
        table);
    ASSERT_TRUE(w.Start());
    EXPECT_EQ(w.Current().size(), 2u);
    EXPECT_EQ(probes, 2);
    EXPECT_TRUE(w.Refresh().empty());

    // b mounted, a unmounted, and a second mount on the same point (\040 is a space).
    WriteTable(table, Line(1, "/", "ext4", "/dev/sda1") +
                          Line(3, "/media/b\\040c", "ext2", "/dev/loop0") +
                          Line(4, "/", "tmpfs", "none"));
    auto changes = w.Refresh();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_FALSE(changes[0].Mounted); // unmounts first
    EXPECT_EQ(changes[0].Fs.MountPoint, "/media/a");
    EXPECT_EQ(changes[0].Fs.Label, "L/media/a");
    const TMountChange* b = Find(changes, true, "/media/b c");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Fs.Device, "/dev/loop0");
    EXPECT_EQ(b->Fs.Label, "L/media/b c");
    EXPECT_NE(Find(changes, true, "/"), nullptr);
    EXPECT_EQ(probes, 4);

    // The same device mounted at a second point is a change of its own; a
    // table that cannot be read changes nothing.
    WriteTable(table, Line(1, "/", "ext4", "/dev/sda1") +
                          Line(3, "/media/b\\040c", "ext2", "/dev/loop0") +
                          Line(4, "/", "tmpfs", "none") + Line(5, "/mnt", "ext2", "/dev/loop0"));
    changes = w.Refresh();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].Fs.MountPoint, "/mnt");
    EXPECT_EQ(w.Current().size(), 4u);
}

TEST(MountWatcher, WakeEndsAWait) {
    TTempFolder tmp;
    WriteTable(tmp.File("t"), Line(1, "/", "ext4", "/dev/sda1"));
    TMountWatcher w({}, tmp.File("t"));
    EXPECT_FALSE(w.Wait(0)); // before Start: nothing to wait on
    ASSERT_TRUE(w.Start());
    w.Wake();
    auto start = std::chrono::steady_clock::now();
    w.Wait(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    TMountWatcher missing({}, tmp.File("none"));
    EXPECT_FALSE(missing.Start());
}

// A mounted disc is the volume with its serial and its label as title.
TEST(MountMatch, SerialAndLabelBothCount) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* music = b.Volume("MUSIC", {}, "1234ABCD");
    b.Volume("MUSIC", {}, "99990000");  // the same label on another disc
    b.Volume("PHOTOS", {}, "1234ABCD"); // the same serial, another label
    TTreeNode* noLabel = b.Volume("stick", {}, "5555AAAA");
    FolderOf(noLabel)->SourcePath = "/media/stick/";

    TMountedFs fs{"/media/x", "/dev/sdb1", "vfat", "music", "1234ABCD"};
    EXPECT_EQ(MatchingVolumes(lib, fs), std::vector<TTreeNode*>{music});
    fs.Serial = "77770000";
    EXPECT_TRUE(MatchingVolumes(lib, fs).empty());
    fs.Serial.clear(); // nothing to match by, whatever the label
    EXPECT_TRUE(MatchingVolumes(lib, fs).empty());

    // Without a label the mount point must be where the volume was read.
    TMountedFs bare{"/media/stick", "/dev/sdc1", "vfat", "", "5555AAAA"};
    EXPECT_EQ(MatchingVolumes(lib, bare), std::vector<TTreeNode*>{noLabel});
    bare.MountPoint = "/media/other";
    EXPECT_TRUE(MatchingVolumes(lib, bare).empty());

    // The same disc catalogued twice: both, for the caller to list.
    TTreeNode* again = b.Volume("Music", {}, "1234ABCD");
    fs.Serial = "1234ABCD";
    EXPECT_EQ(MatchingVolumes(lib, fs), (std::vector<TTreeNode*>{music, again}));
}

// What is offered as a new drive: a removable disk, or any disk the desktop
// mounts below /media; never a pseudo, network or packaged filesystem, nor a
// second mount of a disc already there.
TEST(MountMatch, NewDrivesAreRemovableDisksMountedOnce) {
    TMountedFs root{"/", "/dev/sda1", "ext4", "", "", false};
    TMountedFs stick{"/mnt/stick", "/dev/sdb1", "vfat", "STICK", "1234ABCD", true};
    std::vector<TMountedFs> mounted{root, stick};
    EXPECT_TRUE(IsNewDrive(stick, mounted));
    TMountedFs fixed = stick;
    fixed.Removable = false; // a disk inside the machine, mounted by hand
    EXPECT_FALSE(IsNewDrive(fixed, mounted));
    for (const char* point : {"/media/user/STICK", "/run/media/user/STICK"}) {
        fixed.MountPoint = point;
        EXPECT_TRUE(IsNewDrive(fixed, {root, fixed})) << point;
    }
    for (const char* point : {"/media", "/mediax/STICK", "/srv/media/STICK"}) {
        fixed.MountPoint = point;
        EXPECT_FALSE(IsNewDrive(fixed, {root, fixed})) << point;
    }
    // The system disk's folder bound elsewhere; the stick mounted a second time.
    TMountedFs bound{"/media/user/home", "/dev/sda1", "ext4", "", "", false};
    EXPECT_FALSE(IsNewDrive(bound, {root, bound}));
    TMountedFs twice{"/media/user/again", "/dev/sdb1", "vfat", "STICK", "1234ABCD", true};
    EXPECT_FALSE(IsNewDrive(twice, {root, stick, twice}));
    EXPECT_FALSE(IsNewDrive(stick, {root, stick, twice}));
    const std::vector<TMountedFs> others{
        {"/media/user/tmp", "tmpfs", "tmpfs", "", "", false},
        {"/media/user/share", "server:/share", "nfs4", "", "", false},
        {"/media/user/app", "/dev/loop3", "squashfs", "", "", true}};
    for (const TMountedFs& fs : others)
        EXPECT_FALSE(IsNewDrive(fs, {root, fs})) << fs.FileSystem;
}

// The disk behind a device, found in a tree laid out as the kernel's: the
// removable flag, a USB or SD card bus, or a mapped device on such a disk.
TEST(RemovableDevice, FlagOrBusOfTheDisk) {
    TTempFolder tmp;
    namespace fs = std::filesystem;
    const std::string block = tmp.MakeFolder("class/block");
    // sdb (USB, flag 0) with partition sdb1; sr0 (flag 1); vda (flag 0); dm-0 on sdb1.
    auto disk = [&](const std::string& folder, const std::string& name, const char* flag) {
        tmp.Write(folder + "/" + name + "/removable", flag);
        fs::create_directory_symlink(tmp.File(folder + "/" + name), block + "/" + name);
        tmp.Write("dev/" + name, "");
    };
    disk("devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block", "sdb", "0\n");
    tmp.Write("devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdb/sdb1/partition",
              "1\n");
    fs::create_directory_symlink(
        tmp.File("devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdb/sdb1"),
        block + "/sdb1");
    tmp.Write("dev/sdb1", "");
    disk("devices/pci0000:00/ata1/block", "sr0", "1\n");
    disk("devices/pci0000:00/virtio1/block", "vda", "0\n");
    disk("devices/virtual/block", "dm-0", "0\n");
    fs::create_directory(tmp.File("devices/virtual/block/dm-0/slaves"));
    fs::create_directory_symlink(block + "/sdb1",
                                 tmp.File("devices/virtual/block/dm-0/slaves/sdb1"));
    fs::create_directory(tmp.File("dev/mapper"));
    fs::create_symlink("../dm-0", tmp.File("dev/mapper/stick"));

    EXPECT_TRUE(IsRemovableDevice(tmp.File("dev/sdb1"), block));
    EXPECT_TRUE(IsRemovableDevice(tmp.File("dev/sdb"), block));
    EXPECT_TRUE(IsRemovableDevice(tmp.File("dev/sr0"), block));
    EXPECT_FALSE(IsRemovableDevice(tmp.File("dev/vda"), block));
    EXPECT_TRUE(IsRemovableDevice(tmp.File("dev/mapper/stick"), block));
    EXPECT_FALSE(IsRemovableDevice(tmp.File("dev/none"), block));
}

// The guard follows the filesystem holding a folder, not its neighbours.
TEST(MountGuard, GoneOnlyWhenTheMountHoldingThePathLeaves) {
    TTempFolder tmp;
    const std::string table = tmp.File("mountinfo");
    const std::string base = Line(1, "/", "ext4", "/dev/sda1") +
                             Line(2, "/media/a", "vfat", "/dev/sdb1") +
                             Line(3, "/media/ab", "vfat", "/dev/sdc1");
    WriteTable(table, base);
    TMountGuard guard("/media/a/music", table);
    ASSERT_NE(guard.Guarded(), nullptr);
    EXPECT_EQ(guard.Guarded()->Device, "/dev/sdb1");
    EXPECT_FALSE(guard.Gone(true));
    // A neighbour leaves, another disc comes, the guarded one is remounted.
    WriteTable(table, Line(1, "/", "ext4", "/dev/sda1") + Line(4, "/media/a", "vfat", "/dev/sdb1") +
                          Line(5, "/media/c", "vfat", "/dev/sdd1"));
    EXPECT_FALSE(guard.Gone(true));
    WriteTable(table, Line(1, "/", "ext4", "/dev/sda1") + Line(6, "/media/a", "vfat", "/dev/sde1"));
    EXPECT_TRUE(guard.Gone(true)); // another disc on the same point is no longer it
    WriteTable(table, base);
    EXPECT_TRUE(guard.Gone(true)); // and stays gone

    TMountGuard none("/x", tmp.File("missing"));
    EXPECT_EQ(none.Guarded(), nullptr);
    EXPECT_FALSE(none.Gone(true));
}

// Real mounts, as root: a tmpfs and ext2 images made here. The kernel
// signals every change; each must be reported within a second.
class MountWatcherLive : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount";
        point_ = tmp_.MakeFolder("mnt");
        if (::mount("none", point_.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "the kernel refuses to mount here: " << std::strerror(errno);
        ::umount(point_.c_str());
    }
    void TearDown() override {
        if (!point_.empty()) ::umount2(point_.c_str(), MNT_DETACH);
    }

    // Waits up to a second for the change on the test's mount point.
    TMountChange Next(TMountWatcher& w, bool mounted) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !w.Wait(static_cast<int>(left.count()))) break;
            for (const TMountChange& c : w.Refresh())
                if (c.Mounted == mounted && c.Fs.MountPoint == point_) return c;
        }
        ADD_FAILURE() << (mounted ? "mount" : "unmount") << " of " << point_
                      << " not reported within a second";
        return {};
    }

    std::string Image(const std::string& name, const std::string& label) {
        const std::string path = tmp_.File(name);
        std::ofstream(path).close();
        std::filesystem::resize_file(path, 1 << 20);
        TProgramRun r = RunProgram({"mkfs.ext2", "-q", "-F", "-L", label, path});
        EXPECT_EQ(r.ExitCode, 0) << "mkfs.ext2 (e2fsprogs) is needed: " << r.Err;
        return path;
    }
    void MountImage(const std::string& image) {
        TProgramRun r = RunProgram({"mount", "-o", "loop,ro", image, point_});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
    std::string SerialOf(const std::string& image) {
        TProgramRun r = RunProgram({"blkid", "-o", "value", "-s", "UUID", image});
        std::string id = r.Out.substr(0, 8);
        for (char& c : id)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return id;
    }

    TTempFolder tmp_;
    std::string point_;
};

TEST_F(MountWatcherLive, TmpfsMountAndUnmount) {
    TMountWatcher w(ProbeMountedFs);
    ASSERT_TRUE(w.Start());
    ASSERT_EQ(::mount("none", point_.c_str(), "tmpfs", 0, "size=1m"), 0);
    TMountChange m = Next(w, true);
    EXPECT_EQ(m.Fs.FileSystem, "tmpfs");
    EXPECT_TRUE(m.Fs.Serial.empty()); // no device to read one from
    ASSERT_EQ(::umount(point_.c_str()), 0);
    Next(w, false);
    EXPECT_FALSE(w.Wait(0)); // quiet again
}

TEST_F(MountWatcherLive, ImagesWithOneLabelAreToldApartBySerial) {
    const std::string a = Image("a.img", "SHARED");
    const std::string b = Image("b.img", "SHARED");
    ASSERT_NE(SerialOf(a), SerialOf(b));
    TLibObj lib;
    TCatalogBuilder cb(lib);
    TTreeNode* volA = cb.Volume("SHARED", {}, SerialOf(a));

    TMountWatcher w(ProbeMountedFs);
    ASSERT_TRUE(w.Start());
    MountImage(a);
    TMountChange m = Next(w, true);
    EXPECT_EQ(m.Fs.Label, "SHARED");
    EXPECT_EQ(m.Fs.Serial, SerialOf(a));
    EXPECT_EQ(MatchingVolumes(lib, m.Fs), std::vector<TTreeNode*>{volA});
    ASSERT_EQ(::umount(point_.c_str()), 0);
    TMountChange u = Next(w, false);
    EXPECT_EQ(u.Fs.Serial, SerialOf(a)); // as probed at the mount

    MountImage(b);
    m = Next(w, true);
    EXPECT_EQ(m.Fs.Label, "SHARED");
    EXPECT_EQ(m.Fs.Serial, SerialOf(b));
    EXPECT_TRUE(MatchingVolumes(lib, m.Fs).empty());
    ASSERT_EQ(::umount(point_.c_str()), 0);
    Next(w, false);
}
