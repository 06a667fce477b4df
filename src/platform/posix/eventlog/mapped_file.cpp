#include "platform/posix/eventlog/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"

namespace vzrm::platform::posix {

MappedFile::~MappedFile() {
    Reset();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void MappedFile::Reset() {
    if (data_ != nullptr && size_ > 0) {
        munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    data_ = nullptr;
    size_ = 0;
}

void MappedFile::Release(std::size_t offset, std::size_t length) const {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t begin = (offset + page - 1) / page * page;
    const std::size_t end = std::min(offset + length, size_) / page * page;
    if (data_ != nullptr && begin < end) {
        madvise(const_cast<std::uint8_t*>(data_) + begin, end - begin, MADV_DONTNEED);
    }
}

std::int32_t MappedFile::Open(const std::string& path) {
    Reset();
    // Non-blocking, so that opening a pipe returns at once and is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return WindowsErrorFromErrno(errno);
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return WindowsErrorFromErrno(error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return kErrorInvalidData;
    }
    if (info.st_size > 0) {
        void* map =
            mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            const int error = errno;
            ::close(fd);
            return WindowsErrorFromErrno(error);
        }
        madvise(map, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(map);
        size_ = static_cast<std::size_t>(info.st_size);
    }
    ::close(fd);
    return kErrorSuccess;
}

}  // namespace vzrm::platform::posix
