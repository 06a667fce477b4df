// The "fixed drives" of a Linux machine: the mount points of local file
// systems on non-removable block devices, and of ntfs-3g mounts (a FUSE file
// system that answers system.ntfs_acl). Pseudo, network and removable file
// systems are left out. Read from /proc/self/mountinfo.
#pragma once

#include <sys/types.h>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vzrm::platform::posix {

struct MountRecord {
    std::string mountPoint;
    std::string fsType;
    std::string source;
    unsigned major = 0;
    unsigned minor = 0;
};

// The mounts in a mountinfo text; lines that cannot be read are skipped.
// Mount points and sources have their octal escapes (\040 ...) undone.
std::vector<MountRecord> ParseMountInfo(std::string_view text);

// What deciding needs to ask the system.
struct MountProbe {
    // The device number of a block device at `path`; false when it is none.
    std::function<bool(const std::string& path, dev_t& device)> blockDevice;
    std::function<bool(dev_t device)> removable;
    // True when the file system at the mount point gives system.ntfs_acl.
    std::function<bool(const std::string& mountPoint)> answersNtfsAcl;
};

bool IsFixedMount(const MountRecord& mount, const MountProbe& probe);

// The fixed mounts' points in byte order, each once.
std::vector<std::string> FixedMountPoints(std::string_view mountInfo, const MountProbe& probe);

// The probe that asks this machine (stat, /sys/dev/block, getxattr).
MountProbe SystemMountProbe();

}  // namespace vzrm::platform::posix
