#include "platform/posix/instance_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace vzrm::platform::posix {
namespace {

// The lock folder stands for the machine: instances that share it see each
// other, the same as they share the instance mutex.
std::string LockFolderTag() {
    const char* folder = std::getenv("VZRM_LOCK_DIR");
    if (folder == nullptr || *folder == '\0') {
        return "";
    }
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a keeps long paths short
    for (const char* c = folder; *c; ++c) {
        hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ULL;
    }
    return "/" + std::to_string(hash);
}

// An abstract socket: nothing in the file system to clean up, and gone with
// the process that held it.
socklen_t AddressOf(const std::string& windowClass, sockaddr_un& address) {
    const std::string name =
        "vzrm/" + windowClass + "/" + std::to_string(geteuid()) + LockFolderTag();
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

struct ShowRequest {
    std::uint32_t message;
    std::int32_t showCommand;
};

}  // namespace

CInstanceListener::~CInstanceListener() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool CInstanceListener::Listen(const std::string& windowClass) {
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    const socklen_t length = AddressOf(windowClass, address);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

std::optional<std::int32_t> CInstanceListener::TakeShowRequest() {
    while (fd_ >= 0) {
        const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            return std::nullopt;
        }
        // The sender writes its request right after connecting: a short wait
        // is enough, and a silent peer cannot hold the instance up.
        timeval wait{1, 0};
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        ShowRequest request{};
        const ssize_t got = recv(client, &request, sizeof request, 0);
        close(client);
        if (got == sizeof request && request.message == WM_SHOW_INSTANCE) {
            return request.showCommand;
        }
        // Anything else is not ours: drop it and look at the next one.
    }
    return std::nullopt;
}

bool SendShowInstance(const std::string& windowClass, std::int32_t showCommand) {
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    const socklen_t length = AddressOf(windowClass, address);
    const ShowRequest request{WM_SHOW_INSTANCE, showCommand};
    const bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                      send(fd, &request, sizeof request, MSG_NOSIGNAL) == sizeof request;
    close(fd);
    return sent;
}

}  // namespace vzrm::platform::posix
