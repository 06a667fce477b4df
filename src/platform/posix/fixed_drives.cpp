#include "platform/posix/fixed_drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace vzrm::platform::posix {
namespace {

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

std::string Unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            fields.push_back(line.substr(at, end - at));
        }
        at = end + 1;
    }
    return fields;
}

bool ParseDeviceNumber(std::string_view text, unsigned& major, unsigned& minor) {
    unsigned a = 0;
    unsigned b = 0;
    char colon = 0;
    std::istringstream in{std::string(text)};
    if (!(in >> a >> colon >> b) || colon != ':') {
        return false;
    }
    major = a;
    minor = b;
    return true;
}

bool ParseLine(std::string_view line, MountRecord& out) {
    const std::vector<std::string_view> fields = Fields(line);
    const auto separator = std::find(fields.begin() + std::min<std::size_t>(6, fields.size()),
                                     fields.end(), std::string_view("-"));
    if (fields.size() < 10 || separator == fields.end() || fields.end() - separator < 3) {
        return false;
    }
    out.mountPoint = Unescape(fields[4]);
    out.fsType = Unescape(separator[1]);
    out.source = Unescape(separator[2]);
    return ParseDeviceNumber(fields[2], out.major, out.minor);
}

}  // namespace

std::vector<MountRecord> ParseMountInfo(std::string_view text) {
    std::vector<MountRecord> mounts;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        MountRecord mount;
        if (ParseLine(text.substr(at, end - at), mount)) {
            mounts.push_back(std::move(mount));
        }
        at = end + 1;
    }
    return mounts;
}

bool IsFixedMount(const MountRecord& mount, const MountProbe& probe) {
    dev_t device = 0;
    const bool onBlockDevice = probe.blockDevice(mount.source, device);
    if (mount.fsType == "fuse" || mount.fsType == "fuseblk") {
        // ntfs-3g names no subtype; the attribute only it answers tells it apart.
        return (!onBlockDevice || !probe.removable(device)) &&
               probe.answersNtfsAcl(mount.mountPoint);
    }
    if (mount.fsType.rfind("fuse.", 0) == 0) {
        return false;  // sshfs and other FUSE file systems of their own kind
    }
    if (!onBlockDevice) {
        // Containers may lack the device node; the mount still names a real device.
        if (mount.source.rfind("/dev/", 0) != 0 || mount.major == 0) {
            return false;
        }
        device = makedev(mount.major, mount.minor);
    }
    return !probe.removable(device);
}

std::vector<std::string> FixedMountPoints(std::string_view mountInfo, const MountProbe& probe) {
    std::vector<std::string> points;
    for (const MountRecord& mount : ParseMountInfo(mountInfo)) {
        if (IsFixedMount(mount, probe)) {
            points.push_back(mount.mountPoint);
        }
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

namespace {

bool ReadRemovableFlag(const std::string& path, bool& removable) {
    std::ifstream in(path);
    int flag = 0;
    if (!(in >> flag)) {
        return false;
    }
    removable = flag != 0;
    return true;
}

}  // namespace

MountProbe SystemMountProbe() {
    MountProbe probe;
    probe.blockDevice = [](const std::string& path, dev_t& device) {
        struct stat st {};
        if (path.empty() || path[0] != '/' || ::stat(path.c_str(), &st) != 0 ||
            !S_ISBLK(st.st_mode)) {
            return false;
        }
        device = st.st_rdev;
        return true;
    };
    probe.removable = [](dev_t device) {
        const std::string base =
            "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
        bool removable = false;
        // A partition's flag is its disk's, one level up.
        return (ReadRemovableFlag(base + "/removable", removable) ||
                ReadRemovableFlag(base + "/../removable", removable)) &&
               removable;
    };
    probe.answersNtfsAcl = [](const std::string& mountPoint) {
        return ::getxattr(mountPoint.c_str(), "system.ntfs_acl", nullptr, 0) > 0;
    };
    return probe;
}

}  // namespace vzrm::platform::posix
