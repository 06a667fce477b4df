#include "platform/posix/instance_channel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// A sender writes its request right after connecting; one that stays silent
// longer is not a second start of ours.
constexpr std::chrono::milliseconds kSilenceLimit{200};
constexpr std::size_t kMaxPending = 8;
// Connections taken per look, so a flood cannot hold the window's thread.
constexpr int kMaxAcceptsPerLook = 32;

// The other end's account: for the listener the connecting process, for the
// sender the process that listens.
bool PeerIsThisAccount(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

}  // namespace

CInstanceListener::~CInstanceListener() {
    while (!pending_.empty()) {
        Drop(0);
    }
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
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void CInstanceListener::Drop(std::size_t index) {
    close(pending_[index].fd);
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
}

void CInstanceListener::AcceptWaiting() {
    for (int taken = 0; fd_ >= 0 && taken < kMaxAcceptsPerLook; ++taken) {
        const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            return;
        }
        if (!PeerIsThisAccount(client)) {
            close(client);
            continue;
        }
        if (pending_.size() == kMaxPending) {
            Drop(0);  // the oldest has had the longest to speak
        }
        pending_.push_back({client, std::chrono::steady_clock::now()});
    }
}

std::optional<std::int32_t> CInstanceListener::TakeShowRequest() {
    AcceptWaiting();
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < pending_.size();) {
        ShowRequest request{};
        const ssize_t got = recv(pending_[i].fd, &request, sizeof request, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            now - pending_[i].since < kSilenceLimit) {
            ++i;
            continue;
        }
        Drop(i);
        if (got == sizeof request && request.message == WM_SHOW_INSTANCE) {
            return request.showCommand;
        }
        // Anything else is not ours.
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
    // A listener that accepts nothing cannot hold the start up for long.
    const timeval wait{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    const ShowRequest request{WM_SHOW_INSTANCE, showCommand};
    // A name held by another account is no instance of ours: the request
    // would tell it that this start exists, and this start would end.
    const bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                      PeerIsThisAccount(fd) &&
                      send(fd, &request, sizeof request, MSG_NOSIGNAL) == sizeof request;
    close(fd);
    return sent;
}

}  // namespace vzrm::platform::posix
