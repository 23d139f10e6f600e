// The restore roots from the text of a mountinfo file.
#include "platform/MountPoints.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vb::platform {
namespace {

TEST(MountPointsTest, RealFileSystemsWithTheirKindsPseudoOnesAndBindMountsLeftOut) {
    const std::string text =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "23 1 0:22 / /sys rw - sysfs sysfs rw\n"
        "25 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "26 25 0:23 / /run rw - tmpfs tmpfs rw\n"
        "27 25 8:3 /@home /home rw shared:2 master:1 - btrfs /dev/sda3 rw,subvol=/@home\n"
        "28 25 8:17 / /media/lehrer/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
        "29 25 0:50 / /mnt/schule rw - cifs //server/schule rw\n"
        "30 25 0:51 / /mnt/nfs rw - nfs4 server:/export rw\n"
        "31 25 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
        "32 25 0:30 / /var/lib/docker/overlay rw - overlay overlay rw\n"
        "33 25 8:3 /@home /srv/home rw - btrfs /dev/sda3 rw,subvol=/@home\n"
        "34 25 8:17 / /media/lehrer/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
        // Bind mounts: a folder of the root file system for a service, a container's
        // volume, the root file system a second time, a folder inside a subvolume.
        "35 25 8:2 /var/lib/schule /srv/schule rw - ext4 /dev/sda2 rw\n"
        "36 25 8:2 /var/lib/docker/volumes/x/_data /var/lib/docker/mnt/x rw - ext4 /dev/sda2 rw\n"
        "37 25 8:2 / /mnt/sysroot rw - ext4 /dev/sda2 rw\n"
        "38 25 8:3 /@home/lehrer /srv/lehrer rw - btrfs /dev/sda3 rw,subvol=/@home\n"
        "39 25 8:4 /@data /data rw - btrfs /dev/sda4 rw,subvol=/@data\n"
        // A folder of a share is a mount of its own; the same folder again is not.
        "40 25 0:52 /verwaltung /mnt/verwaltung rw - cifs //server/schule rw\n"
        "41 25 0:52 /verwaltung /srv/verwaltung rw - cifs //server/schule rw\n"
        "kaputt\n";
    const auto points = ParseMountInfo(text, [](unsigned major, unsigned minor) { return major == 8 && minor == 17; });
    const std::vector<std::pair<std::string, MountKind>> expected = {
        {"/home", MountKind::Local},
        {"/media/lehrer/USB STICK", MountKind::Removable},
        {"/mnt/schule", MountKind::Network},
        {"/mnt/nfs", MountKind::Network},
        {"/data", MountKind::Local},
        {"/mnt/verwaltung", MountKind::Network},
    };
    ASSERT_EQ(points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(points[i].Path, expected[i].first);
        EXPECT_EQ(points[i].Kind, expected[i].second);
    }
    EXPECT_EQ(MountKindName(MountKind::Removable), "Wechseldatentr\xC3\xA4ger");
}

TEST(MountPointsTest, RootComesFirstAndEveryRootIsAFolder) {
    const auto roots = RestoreRoots();
    ASSERT_FALSE(roots.empty());
    EXPECT_EQ(roots.front().Path, "/");
    EXPECT_EQ(roots.front().Kind, MountKind::Root);
    for (const MountPoint& root : roots) {
        EXPECT_TRUE(std::filesystem::is_directory(root.Path)) << root.Path;
        EXPECT_NE(root.Path.rfind("/proc", 0), 0u) << root.Path;
    }
}

}  // namespace
}  // namespace vb::platform
