#include "platform/posix/eventlog/log_file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/plain_file.h"

namespace vzrm::platform::posix {

LogFileBytes::~LogFileBytes() {
    Reset();
}

LogFileBytes::LogFileBytes(LogFileBytes&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      size_(std::exchange(other.size_, 0)),
      modified_(other.modified_),
      inode_(other.inode_) {}

LogFileBytes& LogFileBytes::operator=(LogFileBytes&& other) noexcept {
    if (this != &other) {
        Reset();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        size_ = std::exchange(other.size_, 0);
        modified_ = other.modified_;
        inode_ = other.inode_;
    }
    return *this;
}

void LogFileBytes::Reset() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
}

std::int32_t LogFileBytes::Open(const std::string& path) {
    Reset();
    struct stat info {};
    std::int32_t error = kErrorSuccess;
    const int fd = OpenPlainFile(path, O_RDONLY, error, info);
    if (fd < 0) {
        return error;
    }
    fd_ = fd;
    path_ = path;
    size_ = static_cast<std::size_t>(info.st_size);
    modified_ = info.st_mtim;
    inode_ = info.st_ino;
    return kErrorSuccess;
}

bool LogFileBytes::Unchanged() const {
    struct stat info {};
    return fstat(fd_, &info) == 0 && static_cast<std::size_t>(info.st_size) == size_ &&
           info.st_mtim.tv_sec == modified_.tv_sec && info.st_mtim.tv_nsec == modified_.tv_nsec &&
           info.st_ino == inode_;
}

std::int32_t LogFileBytes::ReadAt(std::size_t offset, std::span<std::uint8_t> out) const {
    if (fd_ < 0 || offset > size_ || out.size() > size_ - offset) {
        return kErrorEventlogFileChanged;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0 ? kErrorEventlogFileChanged : WindowsErrorFromErrno(errno);
        }
        done += static_cast<std::size_t>(got);
    }
    // Bytes read from a file that is being rewritten may mix two versions.
    return Unchanged() ? kErrorSuccess : kErrorEventlogFileChanged;
}

std::int32_t OpenEvtxFile(formats::EvtxFile& log, const std::string& path) {
    auto file = std::make_unique<LogFileBytes>();
    if (const std::int32_t error = file->Open(path)) {
        return error;
    }
    return log.Open(std::move(file));
}

std::int32_t OpenEvtFile(formats::EvtFile& log, const std::string& path) {
    auto file = std::make_unique<LogFileBytes>();
    if (const std::int32_t error = file->Open(path)) {
        return error;
    }
    return log.Open(std::move(file));
}

}  // namespace vzrm::platform::posix
