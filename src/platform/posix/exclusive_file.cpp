#include "platform/exclusive_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/plain_file.h"

namespace vzrm::platform {

namespace {

int FolderOf(int folder) {
    return folder == kPathAsGiven ? AT_FDCWD : folder;
}

bool OthersMayWrite(const struct stat& info) {
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string Octal(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The next folder on the way: a link is followed only where no other account
// could have put it (its folder is written by its owner alone).
int OpenStep(int parent, const std::string& name, std::string& why) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 || (errno != ELOOP && errno != ENOTDIR)) {
        return fd;
    }
    const int error = errno;
    struct stat entry {};
    struct stat folder {};
    if (::fstatat(parent, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(entry.st_mode) || ::fstat(parent, &folder) != 0) {
        errno = error;
        return -1;
    }
    if (OthersMayWrite(folder)) {
        why = "'" + name + "' on its way is a symbolic link in a folder other accounts may write";
        errno = ELOOP;
        return -1;
    }
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

OpenFolder::~OpenFolder() {
    Close();
}

void OpenFolder::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
}

std::int32_t OpenFolder::Open(const std::string& path, std::string& refusal) {
    Close();
    refusal.clear();
    std::string why;
    int fd =
        ::open(!path.empty() && path[0] == '/' ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t at = 0; fd >= 0 && at < path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string name = path.substr(at, end - at);
        at = end + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        const int next = OpenStep(fd, name, why);
        const int error = errno;
        ::close(fd);
        fd = next;
        errno = error;
    }
    if (fd < 0) {
        const std::int32_t error = posix::WindowsErrorFromErrno(errno);
        if (!why.empty()) {
            refusal = "The reports folder '" + path + "' is refused: " + why + ".";
            return kErrorAccessDenied;
        }
        return error;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const std::int32_t error = posix::WindowsErrorFromErrno(errno);
        ::close(fd);
        return error;
    }
    if (info.st_uid != ::geteuid() && info.st_uid != 0) {
        why = "it belongs to the account " + std::to_string(info.st_uid) + ", not to " +
              std::to_string(::geteuid()) + " or root";
    } else if (OthersMayWrite(info) && (info.st_mode & S_ISVTX) == 0) {
        why = "other accounts may write to it and it has no sticky bit (mode " +
              Octal(info.st_mode) + ")";
    }
    if (!why.empty()) {
        ::close(fd);
        refusal = "The reports folder '" + path + "' is refused: " + why + ".";
        return kErrorAccessDenied;
    }
    fd_ = fd;
    return kErrorSuccess;
}

ExclusiveFile::~ExclusiveFile() {
    if (handle_ >= 0) {
        ::close(handle_);
    }
}

std::int32_t ExclusiveFile::Open(int folder, const std::string& path, Mode mode,
                                 std::string& refusal) {
    refusal.clear();
    const int flags =
        O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC |
        (mode == Mode::create ? O_EXCL : 0);  // a FIFO at the name is refused below, not waited on
    const int fd = ::openat(FolderOf(folder), path.c_str(), flags, 0644);
    if (fd < 0) {
        struct stat info {};
        const int error = errno;
        // ELOOP, EEXIST for a new file, or EACCES where the kernel protects
        // links in sticky folders: a link at the name is named as such.
        if (::fstatat(FolderOf(folder), path.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(info.st_mode)) {
            refusal = "it is a symbolic link";
            return kErrorAccessDenied;
        }
        return posix::WindowsErrorFromErrno(error);
    }
    // A hard link to a file elsewhere would be written through like a symbolic one.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        ::close(fd);
        refusal = "it is not a plain file with a single name";
        return kErrorAccessDenied;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::int32_t error =
            errno == EWOULDBLOCK ? kErrorSharingViolation : posix::WindowsErrorFromErrno(errno);
        ::close(fd);
        return error;
    }
    if (mode == Mode::truncate && ::ftruncate(fd, 0) != 0) {
        const std::int32_t error = posix::WindowsErrorFromErrno(errno);
        ::close(fd);
        return error;
    }
    handle_ = fd;
    return kErrorSuccess;
}

std::int32_t ExclusiveFile::Append(const std::string& text) {
    // One write call per text where the system allows it, so that a crash
    // never leaves half of a summary block; a write that fails part of the
    // way (disk full, file size limit) takes back what it wrote. The file is
    // opened for appending: no seek per text.
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(handle_, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const std::int32_t error = posix::WindowsErrorFromErrno(errno);
            if (written > 0) {
                const off_t end = ::lseek(handle_, 0, SEEK_END);
                if (end >= static_cast<off_t>(written)) {
                    [[maybe_unused]] const int ignored =
                        ::ftruncate(handle_, end - static_cast<off_t>(written));
                }
            }
            return error;
        }
        written += static_cast<std::size_t>(n);
    }
    // A long report starts on its way to the disk while it is written, so
    // that the flush at the end has little left to wait for.
    constexpr std::uint64_t kWriteBehind = 4 * 1024 * 1024;
    notWrittenBack_ += text.size();
    if (notWrittenBack_ >= kWriteBehind) {
        notWrittenBack_ = 0;
        static_cast<void>(::sync_file_range(handle_, 0, 0, SYNC_FILE_RANGE_WRITE));
    }
    return kErrorSuccess;
}

std::int32_t ExclusiveFile::TakeBack(std::uint64_t bytes) {
    struct stat info {};
    if (::fstat(handle_, &info) != 0) {
        return posix::WindowsErrorFromErrno(errno);
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (bytes > size) {
        return kErrorInvalidParameter;
    }
    return ::ftruncate(handle_, static_cast<off_t>(size - bytes)) == 0
               ? kErrorSuccess
               : posix::WindowsErrorFromErrno(errno);
}

std::int32_t ExclusiveFile::Size(std::uint64_t& size) const {
    struct stat info {};
    if (::fstat(handle_, &info) != 0) {
        return posix::WindowsErrorFromErrno(errno);
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return kErrorSuccess;
}

std::int32_t ExclusiveFile::ReadAt(std::uint64_t offset, std::size_t size,
                                   std::string& bytes) const {
    bytes.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(handle_, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            bytes.clear();
            return posix::WindowsErrorFromErrno(errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return kErrorSuccess;
}

std::int32_t ExclusiveFile::Close() {
    std::int32_t error = kErrorSuccess;
    if (::fsync(handle_) != 0) {
        error = posix::WindowsErrorFromErrno(errno);
    }
    if (::close(handle_) != 0 && error == kErrorSuccess) {
        error = posix::WindowsErrorFromErrno(errno);
    }
    handle_ = -1;
    notWrittenBack_ = 0;  // the next file opened starts its own count
    return error;
}

std::int32_t RenameToNewName(int folder, const std::string& from, const std::string& to,
                             std::string& refusal) {
    refusal.clear();
    const int at = FolderOf(folder);
    const auto taken = [&] {
        struct stat info {};
        if (::fstatat(at, to.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
            refusal = "it is a symbolic link";  // planted: named, not passed over
            return kErrorAccessDenied;
        }
        return kErrorAlreadyExists;
    };
    if (::renameat2(at, from.c_str(), at, to.c_str(), RENAME_NOREPLACE) == 0) {
        return kErrorSuccess;
    }
    if (errno != EINVAL) {
        return errno == EEXIST ? taken() : posix::WindowsErrorFromErrno(errno);
    }
    // A file system without RENAME_NOREPLACE: a second name, then the first goes.
    if (::linkat(at, from.c_str(), at, to.c_str(), 0) != 0) {
        return errno == EEXIST ? taken() : posix::WindowsErrorFromErrno(errno);
    }
    return RemoveFile(folder, from);
}

std::int32_t RemoveFile(int folder, const std::string& name) {
    return ::unlinkat(FolderOf(folder), name.c_str(), 0) == 0 ? kErrorSuccess
                                                              : posix::WindowsErrorFromErrno(errno);
}

std::vector<std::string> UnheldFiles(int folder, const std::string& prefix,
                                     const std::string& suffix) {
    std::vector<std::string> names;
    const int listed = ::openat(FolderOf(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(listed < 0 ? nullptr : ::fdopendir(listed),
                                                  ::closedir);
    if (!dir) {
        if (listed >= 0) {
            ::close(listed);
        }
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.size() < prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        struct stat info {};
        std::int32_t error = kErrorSuccess;
        const int fd = posix::OpenPlainFile(FolderOf(folder), name, O_RDONLY, error, info);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
            names.push_back(name);
        }
        ::close(fd);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vzrm::platform
