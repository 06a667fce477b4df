// How a second start reaches the running instance: a local socket named
// after the main window class, the user and the lock folder, standing in for a top-level
// window search and a posted WM_SHOW_INSTANCE. Any account may bind or connect
// to such a name, so both ends check that the other is of their own account.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace vzrm::platform::posix {

inline constexpr std::uint32_t WM_SHOW_INSTANCE = 0x0405;

class CInstanceListener {
  public:
    CInstanceListener() = default;
    ~CInstanceListener();
    CInstanceListener(const CInstanceListener&) = delete;
    CInstanceListener& operator=(const CInstanceListener&) = delete;

    // Takes the name; false when another instance (of any account) holds it
    // or the socket fails.
    bool Listen(const std::string& windowClass);
    // For an event loop that watches the socket.
    int Descriptor() const { return fd_; }
    // The show command of the next request that has arrived, if any; never
    // waits. Connections of other accounts are dropped at once; one that has
    // sent nothing yet is kept for a short time, and only a few are kept.
    std::optional<std::int32_t> TakeShowRequest();
    // Connections whose request has not arrived yet: ask again shortly.
    bool HasPending() const { return !pending_.empty(); }

  private:
    struct PENDING {
        int fd;
        std::chrono::steady_clock::time_point since;
    };
    void AcceptWaiting();
    void Drop(std::size_t index);

    int fd_ = -1;
    std::deque<PENDING> pending_;
};

// Sends WM_SHOW_INSTANCE with the show command; false when no instance of
// this account listens (a name held by another account is not ours).
bool SendShowInstance(const std::string& windowClass, std::int32_t showCommand);

}  // namespace vzrm::platform::posix
