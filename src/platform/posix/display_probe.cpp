#include "platform/posix/display_probe.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace vzrm::platform::posix {
namespace {

// Connects to a Unix socket, abstract when the name starts with '@'.
bool CanConnectUnix(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    if (path[0] == '@') {
        address.sun_path[0] = '\0';
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    close(fd);
    return connected;
}

bool CanConnectTcp(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool connected = false;
    for (addrinfo* each = found; each != nullptr && !connected; each = each->ai_next) {
        const int fd = socket(each->ai_family, each->ai_socktype | SOCK_CLOEXEC, each->ai_protocol);
        if (fd >= 0) {
            connected = connect(fd, each->ai_addr, each->ai_addrlen) == 0;
            close(fd);
        }
    }
    freeaddrinfo(found);
    return connected;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

bool IsWaylandDisplayReachable(const std::string& name, const std::string& runtimeDir) {
    if (name.empty()) {
        return false;
    }
    if (name[0] == '/') {
        return CanConnectUnix(name);
    }
    return !runtimeDir.empty() && CanConnectUnix(runtimeDir + "/" + name);
}

bool IsX11DisplayReachable(const std::string& name) {
    const std::size_t colon = name.rfind(':');
    if (colon == std::string::npos || colon + 1 >= name.size()) {
        return false;
    }
    char* end = nullptr;
    const long number = std::strtol(name.c_str() + colon + 1, &end, 10);
    if (end == name.c_str() + colon + 1 || number < 0 || number > 65535 - 6000) {
        return false;
    }
    const std::string host = name.substr(0, colon);
    if (host.empty() || host == "unix") {
        const std::string socketPath = "/tmp/.X11-unix/X" + std::to_string(number);
        return CanConnectUnix("@" + socketPath) || CanConnectUnix(socketPath);
    }
    return CanConnectTcp(host, 6000 + static_cast<int>(number));
}

bool IsDisplayReachable() {
    return IsWaylandDisplayReachable(Environment("WAYLAND_DISPLAY"),
                                     Environment("XDG_RUNTIME_DIR")) ||
           IsX11DisplayReachable(Environment("DISPLAY"));
}

}  // namespace vzrm::platform::posix
