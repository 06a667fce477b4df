// Telling a live desktop from a stale DISPLAY or WAYLAND_DISPLAY.
#include "platform/posix/display_probe.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "support/temp_dir.h"

namespace vzrm::platform::posix {
namespace {

// A listening Unix socket, abstract when the path starts with '@'; -1 when
// the name is taken.
int ListenUnix(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    if (path[0] == '@') {
        address.sun_path[0] = '\0';
    }
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TEST(DisplayProbe, AnXServerCountsOnlyWhileItsSocketListens) {
    int number = 4000 + getpid() % 20000;
    int server = -1;
    while (server < 0 && number < 30000) {
        server = ListenUnix("@/tmp/.X11-unix/X" + std::to_string(++number));
    }
    ASSERT_GE(server, 0);
    const std::string display = ":" + std::to_string(number);
    EXPECT_TRUE(IsX11DisplayReachable(display));
    EXPECT_TRUE(IsX11DisplayReachable(display + ".0"));
    EXPECT_TRUE(IsX11DisplayReachable("unix" + display));
    close(server);
    EXPECT_FALSE(IsX11DisplayReachable(display)) << "the session has ended";
    for (const char* bad : {"", ":", "0", ":x", ":-1", "host:"}) {
        EXPECT_FALSE(IsX11DisplayReachable(bad)) << bad;
    }
}

TEST(DisplayProbe, AnXServerOverTcp) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int port = 0;
    // A free port at or above 6000, as X displays map to ports.
    for (port = 6100 + getpid() % 20000; port < 65000; port += 7) {
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            break;
        }
    }
    ASSERT_EQ(listen(fd, 4), 0);
    EXPECT_TRUE(IsX11DisplayReachable("127.0.0.1:" + std::to_string(port - 6000)));
    close(fd);
    EXPECT_FALSE(IsX11DisplayReachable("127.0.0.1:" + std::to_string(port - 6000)));
}

TEST(DisplayProbe, AWaylandCompositorBySocketName) {
    test::TempDir runtime;
    EXPECT_FALSE(IsWaylandDisplayReachable("wayland-7", runtime.Path().string()));
    const int compositor = ListenUnix(runtime.File("wayland-7"));
    ASSERT_GE(compositor, 0);
    EXPECT_TRUE(IsWaylandDisplayReachable("wayland-7", runtime.Path().string()));
    EXPECT_TRUE(IsWaylandDisplayReachable(runtime.File("wayland-7"), ""));
    EXPECT_FALSE(IsWaylandDisplayReachable("wayland-7", "")) << "no runtime folder";
    EXPECT_FALSE(IsWaylandDisplayReachable("", runtime.Path().string()));
    close(compositor);
}

}  // namespace
}  // namespace vzrm::platform::posix
