#include "platform/posix/owned_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"

namespace vzrm::platform::posix {
namespace {

std::string Refused(const std::string& what, const std::string& path, const std::string& why) {
    return "The " + what + " '" + path + "' is refused: " + why + ".";
}

std::string Octal(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Creates the missing folders on the way to `path`; the last one with `mode`.
void CreateFolders(const std::string& path, mode_t mode, mode_t parentMode) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), parentMode);
    }
    ::mkdir(path.c_str(), mode);
}

}  // namespace

std::string RefusalOf(const struct stat& info, const std::string& what, const std::string& path,
                      const OwnerRule& rule, bool folder) {
    if (S_ISLNK(info.st_mode)) {
        return Refused(what, path, "it is a symbolic link");
    }
    if (folder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) {
        return Refused(what, path, folder ? "it is not a folder" : "it is not a plain file");
    }
    if (info.st_uid != rule.owner && !(rule.rootMayOwn && info.st_uid == 0)) {
        return Refused(what, path,
                       "it belongs to the account " + std::to_string(info.st_uid) + ", not to " +
                           std::to_string(rule.owner) +
                           (rule.rootMayOwn && rule.owner != 0 ? " or root" : ""));
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Refused(what, path,
                       "other accounts may write to it (mode " + Octal(info.st_mode) + ")");
    }
    if (!folder && info.st_nlink > 1) {
        return Refused(what, path, "it has other names (hard links)");
    }
    return {};
}

std::int32_t OpenOwnedFolder(const std::string& path, const std::string& what, mode_t mode,
                             mode_t parentMode, const OwnerRule& rule, int& fd,
                             std::string& refusal) {
    fd = -1;
    refusal.clear();
    if (path.empty() || path[0] != '/') {
        refusal = Refused(what, path, "it is not an absolute path");
        return kErrorPathNotFound;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 && errno == ENOENT) {
        CreateFolders(path, mode, parentMode);
    }
    const int opened = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (opened < 0) {
        const int error = errno;
        // A link at the name fails with ELOOP (or EACCES in a sticky folder),
        // anything else but a folder with ENOTDIR.
        if (::lstat(path.c_str(), &info) == 0) {
            refusal = RefusalOf(info, what, path, rule, true);
            if (!refusal.empty()) {
                return kErrorAccessDenied;
            }
        }
        refusal = "The " + what + " '" + path + "' cannot be opened or created.";
        return WindowsErrorFromErrno(error);
    }
    if (::fstat(opened, &info) != 0) {
        const int error = errno;
        ::close(opened);
        refusal = "The " + what + " '" + path + "' cannot be examined.";
        return WindowsErrorFromErrno(error);
    }
    refusal = RefusalOf(info, what, path, rule, true);
    if (!refusal.empty()) {
        ::close(opened);
        return kErrorAccessDenied;
    }
    fd = opened;
    return kErrorSuccess;
}

std::string AccountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

}  // namespace vzrm::platform::posix
