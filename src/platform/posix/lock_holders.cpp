#include "platform/posix/lock_holders.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

namespace vzrm::platform::posix {
namespace {

// The effective user of a process by name, else by number; empty when gone.
std::string AccountOf(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string label;
        uid_t real = 0;
        uid_t effective = 0;
        if (fields >> label >> real >> effective && label == "Uid:") {
            passwd entry{};
            passwd* found = nullptr;
            std::vector<char> buffer(4096);
            if (getpwuid_r(effective, &entry, buffer.data(), buffer.size(), &found) == 0 &&
                found != nullptr) {
                return found->pw_name;
            }
            return "uid " + std::to_string(effective);
        }
    }
    return {};
}

// "process 1234 (account nobody)".
std::string Described(const std::string& pid) {
    const std::string account = AccountOf(pid);
    return "process " + pid + (account.empty() ? std::string() : " (account " + account + ")");
}

// The processes with a descriptor of the file that carries a lock: alive,
// and every one that shares the locked descriptor. Root sees them all.
std::vector<std::string> HoldersByDescriptor(dev_t device, ino_t inode) {
    std::vector<std::string> pids;
    const std::string self = std::to_string(::getpid());
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    while (proc != nullptr) {
        const dirent* entry = ::readdir(proc.get());
        if (entry == nullptr) {
            break;
        }
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
            continue;
        }
        const std::string fds = "/proc/" + pid + "/fd";
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(fds.c_str()), ::closedir);
        while (dir != nullptr) {
            const dirent* fd = ::readdir(dir.get());
            if (fd == nullptr) {
                break;
            }
            struct stat info {};
            if (fd->d_name[0] == '.' || ::stat((fds + "/" + fd->d_name).c_str(), &info) != 0 ||
                info.st_dev != device || info.st_ino != inode) {
                continue;
            }
            std::ifstream fdinfo("/proc/" + pid + "/fdinfo/" + fd->d_name);
            const std::string text{std::istreambuf_iterator<char>(fdinfo),
                                   std::istreambuf_iterator<char>()};
            if (text.find("lock:") != std::string::npos) {
                pids.push_back(pid);
                break;
            }
        }
    }
    return pids;
}

// The processes /proc/locks names for the file ("1: FLOCK  ADVISORY  WRITE
// 1234 08:01:5678 0 EOF"; waiters have "->"): the one that took the lock,
// which may have ended since.
std::vector<std::string> HoldersByLockList(dev_t device, ino_t inode) {
    char place[64];
    std::snprintf(place, sizeof place, "%02x:%02x:%lu", major(device), minor(device),
                  static_cast<unsigned long>(inode));
    std::vector<std::string> pids;
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, type, mode, access, pid, where;
        if ((fields >> number >> type) && type != "->" &&
            (fields >> mode >> access >> pid >> where) && where == place) {
            pids.push_back(pid);
        }
    }
    return pids;
}

}  // namespace

std::string LockHolders(dev_t device, ino_t inode) {
    std::vector<std::string> pids = HoldersByDescriptor(device, inode);
    if (pids.empty()) {
        pids = HoldersByLockList(device, inode);
    }
    std::string holders;
    for (const std::string& pid : pids) {
        holders += (holders.empty() ? "" : ", ") + Described(pid);
    }
    return holders;
}

}  // namespace vzrm::platform::posix
