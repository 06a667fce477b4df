#include "report/report_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

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

CReportFile::Failure CReportFile::Open(const std::string& path, Mode mode) {
    path_ = path;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        return FailureOfErrno();
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
