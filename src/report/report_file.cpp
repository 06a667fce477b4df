#include "report/report_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"

namespace vzrm {

CReportFile::~CReportFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

CReportFile::Failure CReportFile::FailureOfErrno() const {
    return CFileException(
        CFileException::CauseOfError(platform::posix::WindowsErrorFromErrno(errno)),
        platform::posix::WindowsErrorFromErrno(errno), path_);
}

CReportFile::Failure CReportFile::Refuse(const std::string& why) {
    refusal_ = "The file '" + path_ + "' is refused: " + why + ".";
    return CFileException(CFileException::accessDenied, platform::kErrorAccessDenied, path_);
}

CReportFile::Failure CReportFile::Open(const std::string& path, Mode mode) {
    path_ = path;
    refusal_.clear();
    const int flags =
        O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (mode == Mode::create ? O_EXCL : 0);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        struct stat info {};
        const int error = errno;
        // ELOOP, EEXIST for a new file, or EACCES where the kernel protects
        // links in sticky folders: a link at the name is named as such.
        if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            return Refuse("it is a symbolic link");
        }
        errno = error;
        return FailureOfErrno();
    }
    // A hard link to a file elsewhere would be written through like a symbolic one.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        ::close(fd);
        return Refuse("it is not a plain file with a single name");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? 32 : platform::posix::WindowsErrorFromErrno(errno);
        ::close(fd);
        return CFileException(CFileException::sharingViolation, error, path_);
    }
    if (mode == Mode::truncate && ::ftruncate(fd, 0) != 0) {
        const Failure failure = FailureOfErrno();
        ::close(fd);
        return failure;
    }
    fd_ = fd;
    return std::nullopt;
}

CReportFile::Failure CReportFile::CreateFirstFree(const std::function<std::string(int)>& pathOf,
                                                  std::string& path) {
    // Names planted ahead by another account end the search after a while.
    constexpr int kMaxTries = 1000;
    Failure failure;
    for (int n = 1; n <= kMaxTries; ++n) {
        path = pathOf(n);
        failure = Open(path, Mode::create);
        if (!failure || failure->GetOsError() != platform::kErrorAlreadyExists) {
            break;
        }
    }
    return failure;
}

CReportFile::Failure CReportFile::Append(const std::string& text) {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) {
        return FailureOfErrno();
    }
    // One write call per text where the system allows it, so that a crash
    // never leaves half of a summary block; a write that fails part of the
    // way (disk full, file size limit) takes back what it wrote.
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const Failure failure = FailureOfErrno();
            if (written > 0) {
                [[maybe_unused]] const int ignored = ::ftruncate(fd_, end);
            }
            return failure;
        }
        written += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

CReportFile::Failure CReportFile::Close() {
    Failure failure;
    if (::fsync(fd_) != 0) {
        failure = FailureOfErrno();
    }
    if (::close(fd_) != 0 && !failure) {
        failure = FailureOfErrno();
    }
    fd_ = -1;
    return failure;
}

}  // namespace vzrm
