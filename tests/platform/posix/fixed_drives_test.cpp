// Fixed drives from mountinfo texts, with the system's answers faked.
#include "platform/posix/fixed_drives.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <map>
#include <set>

namespace vzrm::platform::posix {
namespace {

// A machine with a system disk, a USB stick, network and pseudo file systems,
// an ntfs-3g volume on a disk and one on an image file, and sshfs.
const char kMountInfo[] =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "24 27 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw,size=1k\n"
    "27 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
    "28 27 8:2 / /home rw,relatime shared:1 master:2 - xfs /dev/sda2 rw\n"
    "29 27 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
    "30 27 0:40 / /srv/share rw - nfs4 server:/export rw\n"
    "31 27 0:41 / /mnt/win\\040data rw - fuseblk /dev/sdc1 rw,user_id=0\n"
    "32 27 0:42 / /mnt/image rw - fuse /var/img/ntfs.img rw,user_id=0\n"
    "33 27 0:43 / /mnt/ssh rw - fuse.sshfs me@host: rw\n"
    "34 27 0:44 / /run rw - tmpfs tmpfs rw\n"
    "35 27 0:45 / /data rw - btrfs /dev/sda3 rw\n"
    "36 27 254:0 / /var/lib/c rw - ext4 /dev/vda rw\n"
    "37 27 0:46 / /mnt/exfat rw - fuseblk /dev/sdb2 rw\n"
    "38 27 8:1 /srv /srv/bound rw - ext4 /dev/sda1 rw\n"
    "27 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
    "garbage line\n";

MountProbe FakeProbe() {
    static const std::map<std::string, dev_t> devices = {
        {"/dev/sda1", makedev(8, 1)},  {"/dev/sda2", makedev(8, 2)},  {"/dev/sda3", makedev(8, 3)},
        {"/dev/sdb1", makedev(8, 17)}, {"/dev/sdb2", makedev(8, 18)}, {"/dev/sdc1", makedev(8, 33)},
    };
    static const std::set<std::string> ntfs = {"/mnt/win data", "/mnt/image"};
    MountProbe probe;
    probe.blockDevice = [](const std::string& path, dev_t& device) {
        const auto found = devices.find(path);  // /dev/vda is missing, as in containers
        if (found == devices.end()) {
            return false;
        }
        device = found->second;
        return true;
    };
    probe.removable = [](dev_t device) { return minor(device) >= 16 && minor(device) < 32; };
    probe.answersNtfsAcl = [](const std::string& point) { return ntfs.count(point) != 0; };
    return probe;
}

TEST(FixedDrives, LocalDisksAndNtfs3gMountsInPathOrder) {
    EXPECT_EQ(FixedMountPoints(kMountInfo, FakeProbe()),
              (std::vector<std::string>{"/", "/data", "/home", "/mnt/image", "/mnt/win data",
                                        "/srv/bound", "/var/lib/c"}));
}

TEST(FixedDrives, ParsesFieldsOptionalTagsAndEscapes) {
    const auto mounts = ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 15u);  // the garbage line is skipped
    EXPECT_EQ(mounts[3].mountPoint, "/home");
    EXPECT_EQ(mounts[3].fsType, "xfs");
    EXPECT_EQ(mounts[3].source, "/dev/sda2");
    EXPECT_EQ(mounts[3].major, 8u);
    EXPECT_EQ(mounts[3].minor, 2u);
    EXPECT_EQ(mounts[6].mountPoint, "/mnt/win data");
    EXPECT_TRUE(ParseMountInfo("1 2 3:4 / /x rw - ext4\n").empty());  // no source
    EXPECT_TRUE(ParseMountInfo("").empty());
    EXPECT_EQ(ParseMountInfo("1 2 3:4 / /a\\134b rw - ext4 /dev/x rw")[0].mountPoint, "/a\\b");
    EXPECT_EQ(ParseMountInfo("1 2 3:4 / /a\\04 rw - ext4 /dev/x rw")[0].mountPoint, "/a\\04");
}

TEST(FixedDrives, TheSystemProbeFindsTheRootOfThisMachine) {
    // Whatever this machine mounts, the answer is sorted and has no duplicates.
    const auto probe = SystemMountProbe();
    EXPECT_FALSE(probe.answersNtfsAcl("/proc"));
    dev_t device = 0;
    EXPECT_FALSE(probe.blockDevice("proc", device));
    EXPECT_FALSE(probe.blockDevice("/proc", device));
}

}  // namespace
}  // namespace vzrm::platform::posix
