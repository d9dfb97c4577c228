#include "QtPrint.h"
#include "platform/LinuxVolumes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using platform::LinuxVolumes;
using platform::MountEntry;
using platform::VolumeInfo;

QStringList mountPoints(const std::vector<MountEntry>& entries) {
    QStringList out;
    for (const auto& e : entries) out << e.mountPoint;
    return out;
}

// A desktop: root and home on one disk, a USB stick under /media, a snap package, network
// shares, kernel file systems, a bind mount, a btrfs volume and a point mounted over twice.
constexpr std::string_view kDesktop =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "23 22 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "24 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "25 22 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw\n"
    "26 22 0:24 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,size=1600000k,mode=755\n"
    "27 25 0:26 / /sys/fs/cgroup rw,nosuid,nodev,noexec,relatime shared:9 - cgroup2 cgroup2 rw\n"
    "28 22 8:3 / /home rw,relatime shared:30 - ext4 /dev/sda3 rw\n"
    "29 22 8:1 / /boot/efi rw,relatime shared:31 - vfat /dev/sda1 rw,fmask=0077\n"
    "30 22 7:0 / /snap/core20/1234 ro,nodev,relatime shared:40 - squashfs /dev/loop0 ro\n"
    "31 26 8:17 / /media/alice/USB\\040STICK rw,nosuid,nodev,relatime shared:50 master:3 - vfat /dev/sdb1 rw\n"
    "32 22 0:50 / /mnt/nas rw,relatime shared:60 - nfs4 nas:/export rw,vers=4.2\n"
    "33 22 0:51 / /mnt/share rw,relatime shared:61 - cifs //server/share rw\n"
    "34 22 8:3 /alice/shared /srv/shared rw,relatime shared:30 - ext4 /dev/sda3 rw\n"
    "35 22 0:60 /@data /data rw,relatime shared:70 - btrfs /dev/nvme0n1p1 rw,subvol=/@data\n"
    "36 22 8:4 / /mnt/over rw,relatime shared:80 - ext4 /dev/sda4 rw\n"
    "37 22 8:5 / /mnt/over rw,relatime shared:81 - ext4 /dev/sda5 rw\n"
    "38 22 0:70 / /mnt/tmp rw - tmpfs tmpfs rw\n"
    "garbage line\n"
    "39 22 8:32 / /mnt/whole rw,relatime - ext4 /dev/sdc rw";  // no final newline

// A container: overlay root, kernel file systems, files and a folder bound in from the host.
constexpr std::string_view kContainer =
    "381 305 0:118 / / rw,relatime master:145 - overlay overlay "
    "rw,lowerdir=/var/lib/docker/overlay2/l/A,upperdir=/u,workdir=/w\n"
    "382 381 0:121 / /proc rw,nosuid,nodev,noexec,relatime - proc proc rw\n"
    "383 381 0:122 / /dev rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755\n"
    "390 381 8:1 /var/lib/docker/containers/abc/resolv.conf /etc/resolv.conf rw,relatime - ext4 /dev/sda1 rw\n"
    "392 381 8:1 /home/u/project /work rw,relatime - ext4 /dev/sda1 rw\n"
    "393 381 8:1 /home/u/project/sub /work2 rw,relatime - ext4 /dev/sda1 rw\n";

TEST(MountInfo, ParsesFieldsEscapesAndOptionalTags) {
    const auto table = platform::parseMountInfo(kDesktop);
    ASSERT_EQ(table.size(), 18u);  // the garbage line is left out
    const MountEntry& usb = table[9];
    EXPECT_EQ(usb.id, 31);
    EXPECT_EQ(usb.parentId, 26);
    EXPECT_EQ(usb.major, 8u);
    EXPECT_EQ(usb.minor, 17u);
    EXPECT_EQ(usb.mountPoint, "/media/alice/USB STICK");
    EXPECT_EQ(usb.fsType, "vfat");  // after two optional tags
    EXPECT_EQ(usb.source, "/dev/sdb1");
    EXPECT_EQ(table[13].root, "/@data");
    EXPECT_EQ(table.back().mountPoint, "/mnt/whole");
}

TEST(MountInfo, LocalVolumesAreTheDisksOnce) {
    EXPECT_EQ(mountPoints(platform::localVolumes(platform::parseMountInfo(kDesktop))),
              (QStringList{"/", "/home", "/boot/efi", "/media/alice/USB STICK", "/data", "/mnt/over", "/mnt/whole"}));
    const auto covered = platform::localVolumes(platform::parseMountInfo(kDesktop));
    EXPECT_EQ(covered[5].source, "/dev/sda5");  // the mount on top is the one seen

    // The overlay root is still "/"; a bind of a folder inside an already listed one is not
    // listed twice.
    EXPECT_EQ(mountPoints(platform::localVolumes(platform::parseMountInfo(kContainer))),
              (QStringList{"/", "/etc/resolv.conf", "/work"}));
    EXPECT_EQ(mountPoints(platform::localVolumes({})), QStringList{"/"});
}

class MountTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        write("/mountinfo", kDesktop);
        // The kernel's block device tree: a removable stick (partition 1 of sdb), a fixed
        // disk's partitions, and a whole removable disk without partitions.
        disk("sda", "0");
        partition("8:3", "sda", "sda3");
        disk("sdb", "1");
        partition("8:17", "sdb", "sdb1");
        disk("sdc", "1");
        ASSERT_TRUE(QFile::link("../../devices/pci/block/sdc", dir.path() + "/sys/dev/block/8:32"));
        volumes.emplace(false, LinuxVolumes::Sources{dir.path() + "/mountinfo", dir.path() + "/sys/dev/block"});
    }
    void write(const QString& path, std::string_view text) {
        QDir().mkpath(QFileInfo(dir.path() + path).path());
        QFile f(dir.path() + path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    void disk(const QString& name, std::string_view removable) {
        write("/sys/devices/pci/block/" + name + "/removable", std::string(removable) + "\n");
    }
    void partition(const QString& number, const QString& diskName, const QString& name) {
        write("/sys/devices/pci/block/" + diskName + "/" + name + "/partition", "1\n");
        QDir().mkpath(dir.path() + "/sys/dev/block");
        ASSERT_TRUE(
            QFile::link("../../devices/pci/block/" + diskName + "/" + name, dir.path() + "/sys/dev/block/" + number));
    }

    QTemporaryDir dir;
    std::optional<LinuxVolumes> volumes;
};

TEST_F(MountTable, RemovableComesFromTheDiskAndUnmountableFromMedia) {
    VolumeInfo info;
    ASSERT_TRUE(volumes->volumeInfo("/media/alice/USB STICK", info));
    EXPECT_TRUE(info.removable);  // the stick's partition takes its disk's flag
    EXPECT_TRUE(info.unmountable);
    ASSERT_TRUE(volumes->volumeInfo("/home", info));
    EXPECT_FALSE(info.removable);
    EXPECT_FALSE(info.unmountable);
    ASSERT_TRUE(volumes->volumeInfo("/mnt/whole", info));
    EXPECT_TRUE(info.removable);
    EXPECT_FALSE(info.unmountable);
    ASSERT_TRUE(volumes->volumeInfo("/", info));
    EXPECT_FALSE(info.removable);

    EXPECT_FALSE(volumes->volumeInfo("/mnt/nas", info));  // no local volume
    EXPECT_FALSE(volumes->volumeInfo("/home/alice", info));
    EXPECT_FALSE(volumes->volumeInfo("/srv/shared", info));
}

TEST_F(MountTable, EveryMountPointIsAnotherFileSystem) {
    EXPECT_EQ(volumes->mountedLocalVolumePaths().front(), "/");
    for (const char* p : {"/proc", "/sys/fs/cgroup", "/mnt/nas", "/snap/core20/1234", "/srv/shared", "/home"})
        EXPECT_TRUE(volumes->isOtherMountPoint(p)) << p;
    for (const char* p : {"/home/alice", "/mnt", "/media/alice", "/usr"})
        EXPECT_FALSE(volumes->isOtherMountPoint(p)) << p;
}

TEST(LinuxVolumesLive, ThisMachineHasItsRootFirst) {
    LinuxVolumes volumes;
    const QStringList paths = volumes.mountedLocalVolumePaths();
    ASSERT_FALSE(paths.isEmpty());
    EXPECT_EQ(paths.front(), "/");
    VolumeInfo info;
    EXPECT_TRUE(volumes.volumeInfo("/", info));
    if (QFileInfo::exists("/proc/self")) {
        EXPECT_TRUE(volumes.isOtherMountPoint("/proc"));
    }
}

}  // namespace
