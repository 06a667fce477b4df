#include "platform/posix/standard_streams.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"

namespace vzrm::platform::posix {
namespace {

int Descriptor(Stream stream) {
    return stream == Stream::output ? STDOUT_FILENO : STDERR_FILENO;
}

std::int32_t WriteAllTo(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return WindowsErrorFromErrno(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

}  // namespace

bool IsTerminal(Stream stream, int* columns) {
    const int fd = Descriptor(stream);
    if (isatty(fd) == 0) {
        return false;
    }
    if (columns != nullptr) {
        winsize size{};
        *columns = ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
    }
    return true;
}

std::int32_t WriteAll(Stream stream, const std::string& text) {
    return WriteAllTo(Descriptor(stream), reinterpret_cast<const std::uint8_t*>(text.data()),
                      text.size());
}

std::int32_t ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string partial = path + ".XXXXXX";
    const int fd = mkstemp(partial.data());
    if (fd < 0) {
        return WindowsErrorFromErrno(errno);
    }
    const bool written = WriteAllTo(fd, bytes.data(), bytes.size()) == kErrorSuccess;
    if (close(fd) != 0 || !written) {
        std::remove(partial.c_str());
        return kErrorDiskFull;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return kErrorAccessDenied;
    }
    return kErrorSuccess;
}

}  // namespace vzrm::platform::posix
