#include "platform/posix/plain_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"

namespace vzrm::platform::posix {

int OpenPlainFile(const std::string& path, int flags, std::int32_t& error, struct stat& info,
                  mode_t mode) {
    return OpenPlainFile(AT_FDCWD, path, flags, error, info, mode);
}

int OpenPlainFile(int folder, const std::string& name, int flags, std::int32_t& error,
                  struct stat& info, mode_t mode) {
    const int fd =
        ::openat(folder, name.c_str(), flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        error = WindowsErrorFromErrno(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        error = WindowsErrorFromErrno(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        error = kErrorBadFileType;
        return -1;
    }
    error = kErrorSuccess;
    return fd;
}

}  // namespace vzrm::platform::posix
