#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/error_info.h"
#include "base/error_texts.h"
#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/lock_holders.h"
#include "platform/posix/owned_folder.h"

namespace vzrm::platform {
namespace {

struct LockFolder {
    std::string path;
    posix::OwnerRule rule;
    mode_t mode = 0700;
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Lock files live in a folder; an advisory lock on a file is the mutex, so the
// kernel frees it when its holder dies. Nobody but the owner (and root) may
// write in a lock folder, so no other account can plant a name in it.
// $VZRM_LOCK_DIR holds the folders of a private installation (and of tests).
LockFolder FolderFor(bool global) {
    const uid_t self = geteuid();
    if (const std::string dir = Environment("VZRM_LOCK_DIR"); !dir.empty()) {
        if (global) {
            return {dir + "/global", {self, true}, 0755};
        }
        return {dir + "/user-" + std::to_string(self), {self, false}, 0700};
    }
    if (global) {
        return {kMachineLockFolder, {0, true}, 0755};
    }
    if (const std::string runtime = Environment("XDG_RUNTIME_DIR"); !runtime.empty()) {
        return {runtime + "/vzrmaud", {self, false}, 0700};
    }
    // Not the home of $HOME: under su that is another account's folder.
    return {posix::AccountHome() + "/.cache/vzrmaud/locks", {self, false}, 0700};
}

std::string FileName(const std::string& name) {
    std::string file;
    for (char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        file += plain ? std::string(1, c) : "%" + std::to_string(static_cast<unsigned char>(c));
    }
    return file.substr(0, 200) + ".lock";
}

class FileLockMutex final : public INamedMutex {
  public:
    explicit FileLockMutex(int fd) : fd_(fd) {}
    ~FileLockMutex() override { ::close(fd_); }  // closing frees a held lock
    FileLockMutex(const FileLockMutex&) = delete;
    FileLockMutex& operator=(const FileLockMutex&) = delete;

    std::int32_t Wait(std::uint32_t timeoutMs) override {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                return kErrorSuccess;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                return posix::WindowsErrorFromErrno(errno);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return kErrorTimeout;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void Release() override { flock(fd_, LOCK_UN); }
    std::string Holders() const override {
        struct stat info {};
        return ::fstat(fd_, &info) == 0 ? posix::LockHolders(info.st_dev, info.st_ino)
                                        : std::string();
    }

  private:
    int fd_;
};

// Read access is enough for flock, so an account that may not write in the
// machine-wide folder still opens the lock files the install step made there.
int OpenLockFile(int folder, const std::string& name, std::string& refusal,
                 const LockFolder& where) {
    const int fd =
        ::openat(folder, name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal =
            "The lock file '" + where.path + "/" + name + "' is refused: it is not a plain file.";
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

}  // namespace

std::int32_t OpenNamedMutex(const std::string& name, std::unique_ptr<INamedMutex>& mutex,
                            CErrorInfo* record) {
    CErrorInfo& into = record != nullptr ? *record : g_errorInfo;
    const bool global = name.rfind("Global\\", 0) == 0;
    const LockFolder where = FolderFor(global);
    int folder = -1;
    std::string refusal;
    const std::int32_t checked = posix::OpenOwnedFolder(where.path, "lock folder", where.mode,
                                                        where.mode, where.rule, folder, refusal);
    if (checked != kErrorSuccess) {
        into.SetError("RWEF3OSODHHSLLS", checked, refusal, StrgLine(name));
        return checked;
    }
    const std::string file = FileName(global ? name.substr(7) : name);
    const int fd = OpenLockFile(folder, file, refusal, where);
    const int error = errno;
    ::close(folder);
    if (fd < 0) {
        std::int32_t code = posix::WindowsErrorFromErrno(error);
        struct stat info {};
        const std::string path = where.path + "/" + file;
        if (refusal.empty() && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            refusal = "The lock file '" + path + "' is refused: it is a symbolic link.";
            code = kErrorAccessDenied;
        } else if (refusal.empty()) {
            refusal = "The lock file '" + path + "' cannot be opened or created.";
        }
        into.SetError("NZQCFCOLRUMKKUT", code, refusal, StrgLine(name));
        return code;
    }
    mutex = std::make_unique<FileLockMutex>(fd);
    return kErrorSuccess;
}

}  // namespace vzrm::platform
