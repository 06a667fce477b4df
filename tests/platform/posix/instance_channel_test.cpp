// The channel from a second start to the running instance.
#include "platform/posix/instance_channel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace vzrm::platform::posix {
namespace {

TEST(InstanceChannel, ARunningInstanceReceivesShowCommandsInOrder) {
    const std::string name = "Quorvix_ZRMAU_Class_test_" + std::to_string(getpid());
    EXPECT_FALSE(SendShowInstance(name, 1)) << "nobody listens yet";
    CInstanceListener first;
    ASSERT_TRUE(first.Listen(name));
    EXPECT_FALSE(first.TakeShowRequest().has_value());

    CInstanceListener second;
    EXPECT_FALSE(second.Listen(name)) << "the name belongs to the first instance";

    // A second start in another process.
    const pid_t child = fork();
    if (child == 0) {
        _exit(SendShowInstance(name, 6) && SendShowInstance(name, 1) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(first.TakeShowRequest(), std::optional<std::int32_t>(6));
    EXPECT_EQ(first.TakeShowRequest(), std::optional<std::int32_t>(1));
    EXPECT_FALSE(first.TakeShowRequest().has_value());
}

TEST(InstanceChannel, TheNameIsFreeOnceTheInstanceHasGone) {
    const std::string name = "Quorvix_ZRMAU_Class_gone_" + std::to_string(getpid());
    {
        CInstanceListener instance;
        ASSERT_TRUE(instance.Listen(name));
    }
    EXPECT_FALSE(SendShowInstance(name, 1));
    CInstanceListener next;
    EXPECT_TRUE(next.Listen(name));
}

struct ADDRESS {
    sockaddr_un address{};
    socklen_t length = sizeof address;
};

ADDRESS AddressOf(const CInstanceListener& listener) {
    ADDRESS bound;
    getsockname(listener.Descriptor(), reinterpret_cast<sockaddr*>(&bound.address), &bound.length);
    return bound;
}

// A connection to the listener's own address that sends nothing.
int SilentConnection(const CInstanceListener& listener) {
    const auto [address, length] = AddressOf(listener);
    // Not blocking: a full backlog fails the test instead of holding it.
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), length), 0);
    return fd;
}

// How the window waits: on the descriptor, and again shortly while a
// connection has not spoken yet.
std::optional<std::int32_t> WaitForRequest(CInstanceListener& listener,
                                           std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (const std::optional<std::int32_t> command = listener.TakeShowRequest()) {
            return command;
        }
        pollfd watched{listener.Descriptor(), POLLIN, 0};
        poll(&watched, 1, listener.HasPending() ? 50 : 500);
    }
    return std::nullopt;
}

bool PeerClosed(int fd) {
    char byte = 0;
    return recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

TEST(InstanceChannel, SilentConnectionsNeitherDelayARequestNorStay) {
    const std::string name = "Quorvix_ZRMAU_Class_silent_" + std::to_string(getpid());
    CInstanceListener instance;
    ASSERT_TRUE(instance.Listen(name));
    std::vector<int> silent;
    for (int i = 0; i < 10; ++i) {
        silent.push_back(SilentConnection(instance));
    }
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(SendShowInstance(name, 6));
    EXPECT_EQ(WaitForRequest(instance, std::chrono::seconds(20)), std::optional<std::int32_t>(6));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_TRUE(PeerClosed(silent[0]) && PeerClosed(silent[1])) << "only a few are kept waiting";

    EXPECT_FALSE(WaitForRequest(instance, std::chrono::milliseconds(400)).has_value());
    EXPECT_FALSE(instance.HasPending()) << "silence ends the connection";
    for (const int fd : silent) {
        EXPECT_TRUE(PeerClosed(fd));
        close(fd);
    }
}

// Another local account may bind the name first (abstract names have no
// permissions) or connect to ours: neither end talks to it.
TEST(InstanceChannel, AnotherAccountNeitherTakesNorSendsTheHandOver) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as a second account";
    }
    constexpr uid_t kNobody = 65534;
    const std::string name = "Quorvix_ZRMAU_Class_other_" + std::to_string(getpid());
    ADDRESS rootName;
    {
        // Our name, as the other account can work it out.
        CInstanceListener probe;
        ASSERT_TRUE(probe.Listen(name));
        rootName = AddressOf(probe);
    }
    int ready[2];
    int done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t squatter = fork();
    if (squatter == 0) {
        const int taken = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        char byte = 0;
        const bool listening = setresgid(kNobody, kNobody, kNobody) == 0 &&
                               setresuid(kNobody, kNobody, kNobody) == 0 &&
                               bind(taken, reinterpret_cast<const sockaddr*>(&rootName.address),
                                    rootName.length) == 0 &&
                               listen(taken, 8) == 0;
        if (write(ready[1], &byte, 1) != 1 || !listening || read(done[0], &byte, 1) < 0) {
            _exit(2);
        }
        // Whatever reached it: a connection that sent a request.
        const int client = accept4(taken, nullptr, nullptr, SOCK_NONBLOCK);
        _exit(client >= 0 && recv(client, &byte, 1, 0) > 0 ? 1 : 0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_FALSE(SendShowInstance(name, 1)) << "the squatter is no instance of ours";
    CInstanceListener ours;
    EXPECT_FALSE(ours.Listen(name)) << "the name is held; the start goes on without it";
    ASSERT_EQ(write(done[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(squatter, &status, 0), squatter);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the squatter got nothing";

    // The other account writes a well-formed request to our listener.
    const std::string own = name + "_own";
    ASSERT_TRUE(ours.Listen(own));
    const pid_t sender = fork();
    if (sender == 0) {
        if (setresgid(kNobody, kNobody, kNobody) != 0 ||
            setresuid(kNobody, kNobody, kNobody) != 0) {
            _exit(2);
        }
        const std::uint32_t request[2] = {WM_SHOW_INSTANCE, 6};
        const int fd = SilentConnection(ours);
        _exit(send(fd, request, sizeof request, MSG_NOSIGNAL) == sizeof request ? 0 : 1);
    }
    ASSERT_EQ(waitpid(sender, &status, 0), sender);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(WaitForRequest(ours, std::chrono::milliseconds(300)).has_value());
    for (const int fd : {ready[0], ready[1], done[0], done[1]}) {
        close(fd);
    }
}

}  // namespace
}  // namespace vzrm::platform::posix
