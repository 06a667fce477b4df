#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"

namespace vzrm::platform {
namespace {

// Lock files live in a folder; an advisory lock on a file is the mutex, so the
// kernel frees it when its holder dies. $VZRM_LOCK_DIR overrides the folder.
std::string LockFolder(bool global) {
    if (const char* dir = std::getenv("VZRM_LOCK_DIR"); dir && *dir) {
        return std::string(dir) + (global ? "/global" : "/user-" + std::to_string(getuid()));
    }
    if (!global) {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
            return std::string(runtime) + "/vzrmaud-locks";
        }
        return "/tmp/vzrmaud-locks-" + std::to_string(getuid());
    }
    return "/tmp/vzrmaud-locks";
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

  private:
    int fd_;
};

}  // namespace

std::int32_t OpenNamedMutex(const std::string& name, std::unique_ptr<INamedMutex>& mutex) {
    const bool global = name.rfind("Global\\", 0) == 0;
    const std::string folder = LockFolder(global);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (global) {
        chmod(folder.c_str(), 01777);  // every user's processes share it
    }
    const std::string path = folder + "/" + FileName(global ? name.substr(7) : name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return posix::WindowsErrorFromErrno(errno);
    }
    fchmod(fd, 0666);
    mutex = std::make_unique<FileLockMutex>(fd);
    return kErrorSuccess;
}

}  // namespace vzrm::platform
