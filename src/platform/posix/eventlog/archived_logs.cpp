// Archived logs beside the live one: Windows names them after the channel and
// the moment of archiving, "Archive-Security-YYYY-MM-DD-HH-MM-SS-nnn.evtx".
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <utility>

#include "base/case_fold.h"
#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/eventlog/log_location.h"

namespace vzrm::platform {
namespace {

// The time digits of an archive's name ("20260314080533123"), or empty when
// the name is not one of `channel`'s archives with the extension `extension`.
std::string ArchiveStamp(const std::string& name, const std::string& channel,
                         const std::string& extension) {
    const std::string prefix = "archive-" + FoldCase(channel) + "-";
    const std::string folded = FoldCase(name);
    if (folded.size() <= prefix.size() + extension.size() || folded.rfind(prefix, 0) != 0 ||
        folded.compare(folded.size() - extension.size(), extension.size(), extension) != 0) {
        return {};
    }
    const std::string middle =
        folded.substr(prefix.size(), folded.size() - prefix.size() - extension.size());
    static const char kShape[] = "dddd-dd-dd-dd-dd-dd-ddd";
    if (middle.size() != sizeof kShape - 1) {
        return {};
    }
    std::string stamp;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(middle[i])) != 0;
        if (kShape[i] == 'd' ? !digit : middle[i] != '-') {
            return {};
        }
        if (digit) {
            stamp.push_back(middle[i]);
        }
    }
    return stamp;
}

// Only root and the folder's owner may put files there.
bool IsTrustedFolder(const struct stat& folder) {
    const bool ownerTrusted = folder.st_uid == 0 || folder.st_uid == ::geteuid();
    return ownerTrusted && (folder.st_mode & S_IWOTH) == 0;
}

}  // namespace

std::int32_t ListArchivedLogs(const std::string& channel, std::string& folder,
                              std::vector<std::string>& paths) {
    paths.clear();
    folder.clear();
    const std::string live = posix::LogFilePath(channel);
    const LogFormat format = live.empty() ? LogFormat::none : posix::DetectLogFormat(live);
    if (format == LogFormat::none) {
        return kErrorSuccess;  // no live log to read beside: its own read reports that
    }
    const std::string extension = format == LogFormat::modern ? ".evtx" : ".evt";
    folder = std::filesystem::path(live).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return posix::WindowsErrorFromErrno(errno);
    }
    if (!IsTrustedFolder(info)) {
        return kErrorAccessDenied;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return posix::WindowsErrorFromErrno(errno);
    }
    std::vector<std::pair<std::string, std::string>> found;  // stamp, path
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                return posix::WindowsErrorFromErrno(errno);
            }
            break;
        }
        std::string stamp = ArchiveStamp(entry->d_name, channel, extension);
        if (stamp.empty()) {
            continue;
        }
        // Never through a link: only the files that are in the folder themselves.
        struct stat file {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &file, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(file.st_mode)) {
            continue;
        }
        found.emplace_back(std::move(stamp), folder + "/" + entry->d_name);
    }
    std::sort(found.begin(), found.end());
    for (auto& [stamp, path] : found) {
        paths.push_back(std::move(path));
    }
    return kErrorSuccess;
}

}  // namespace vzrm::platform
