#include "files/shell_services.h"
#include "files/volume_info.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

TEST(VolumeSerial, TextForms) {
    EXPECT_EQ(FormatVolumeSerial(0x1F), "0000001F");
    EXPECT_EQ(FormatVolumeSerial(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(VolumeSerialFromId("1234-ABCD"), "1234ABCD");
    EXPECT_EQ(VolumeSerialFromId("1234-abcd"), "1234ABCD");
    EXPECT_EQ(VolumeSerialFromId("1F"), "0000001F");
    // NTFS: the low half of the 64-bit number, as Windows shows it.
    EXPECT_EQ(VolumeSerialFromId("0123456789ABCDEF"), "89ABCDEF");
    EXPECT_EQ(VolumeSerialFromId("e3b0c442-98fc-1c14-9afb-f4c8996fb924"), "E3B0C442");
    EXPECT_EQ(VolumeSerialFromId(""), "");
    EXPECT_EQ(VolumeSerialFromId("--"), "");
    EXPECT_EQ(VolumeSerialFromId("12 34"), "");
    EXPECT_EQ(VolumeSerialFromId("XYZ"), "");
}

TEST(VolumeSerial, IsoDescriptorChecksum) {
    std::vector<uint8_t> pvd(2048, 0);
    pvd[0] = 1;
    const char* id = "CD001";
    for (int i = 0; i < 5; ++i)
        pvd[static_cast<size_t>(1 + i)] = static_cast<uint8_t>(id[i]);
    pvd[6] = 1;
    // Bytes 0..3 of each group add up into the serial's bytes, high to low.
    // Group 0: 01 'C' 'D' '0'; group 1: '0' '1' 01 00.
    uint8_t b0 = static_cast<uint8_t>(1 + '0'), b1 = static_cast<uint8_t>('C' + '1'),
            b2 = static_cast<uint8_t>('D' + 1), b3 = static_cast<uint8_t>('0');
    pvd[2044] = 0xFF; // wraps byte 0 around
    b0 = static_cast<uint8_t>(b0 + 0xFF);
    char want[9];
    std::snprintf(want, sizeof want, "%02X%02X%02X%02X", b0, b1, b2, b3);
    EXPECT_EQ(IsoVolumeSerial(pvd.data(), pvd.size()), want);
    EXPECT_EQ(IsoVolumeSerial(pvd.data(), 2047), "");
    EXPECT_EQ(IsoVolumeSerial(nullptr, 2048), "");
    pvd[1] = 'X';
    EXPECT_EQ(IsoVolumeSerial(pvd.data(), pvd.size()), "");
}

TEST(MountInfo, ParsesAndFindsTheHoldingMount) {
    const char* text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 22 0:25 / /media rw - tmpfs tmpfs rw\n"
        "31 30 11:0 / /media/my\\040disc ro,relatime shared:5 master:2 - iso9660 /dev/sr0 ro\n"
        "garbage line\n"
        "40 22 8:17 / /mnt/data rw - vfat /dev/sdb1 rw\n"
        "41 22 8:18 / /mnt/data rw - exfat /dev/sdb2 rw\n"
        "50 22 8:19 / /mnt/dat rw -\n";
    auto mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 5u);
    EXPECT_EQ(mounts[2].MountPoint, "/media/my disc");
    EXPECT_EQ(mounts[2].FileSystem, "iso9660");
    EXPECT_EQ(mounts[2].Source, "/dev/sr0");

    auto at = [&](const char* path) {
        const TMountEntry* m = FindMountFor(mounts, path);
        return m ? m->Source : std::string("none");
    };
    EXPECT_EQ(at("/media/my disc/a/b.mp3"), "/dev/sr0");
    EXPECT_EQ(at("/media/my disc"), "/dev/sr0");
    EXPECT_EQ(at("/media/my discs"), "tmpfs");
    EXPECT_EQ(at("/mnt/data/x"), "/dev/sdb2"); // the later mount hides the earlier
    EXPECT_EQ(at("/mnt/dat"), "/dev/sda1");
    EXPECT_EQ(at("/"), "/dev/sda1");
    EXPECT_EQ(at("relative"), "none");
    EXPECT_TRUE(ParseMountInfo("").empty());
}

namespace {
class TFakeVolumes : public IVolumeInfoProvider {
public:
    TVolumeInfo Query(const std::string& path) override {
        if (path == "/boom") throw std::runtime_error("device gone");
        TVolumeInfo v;
        v.RootPath = "/media/cd/";
        v.Label = "MUSIC";
        v.Serial = "1234ABCD";
        return v;
    }
    std::vector<TVolumeInfo> MountedVolumes() override { throw std::runtime_error("no"); }
};
} // namespace

TEST(VolumeInfo, ProviderFailuresGiveEmptyValues) {
    EXPECT_EQ(GetVolumeSerial("/media/cd"), ""); // no provider yet
    TFakeVolumes fake;
    SetVolumeInfoProvider(&fake);
    EXPECT_EQ(GetVolumeSerial("/media/cd/x"), "1234ABCD");
    EXPECT_EQ(GetVolumeLabel("/media/cd/x"), "MUSIC");
    EXPECT_EQ(GetVolumeSerial("/boom"), "");
    EXPECT_EQ(GetVolumeSerial(""), "");
    EXPECT_TRUE(GetMountedVolumes().empty());
    SetVolumeInfoProvider(nullptr);
}

TEST(ShellServices, WithoutServicesNothingOpens) {
    EXPECT_FALSE(ShellOpen("/tmp"));
    EXPECT_FALSE(OpenURL("https://example.org/"));
    EXPECT_EQ(FileIconName("a.mp3"), "");
}
