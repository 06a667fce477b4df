// How a second start reaches the running instance: a local socket named
// after the main window class, the user and the lock folder, standing in for a top-level
// window search and a posted WM_SHOW_INSTANCE.
#pragma once

#include <cstdint>
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

    // Takes the name; false when another instance holds it or the socket fails.
    bool Listen(const std::string& windowClass);
    // For an event loop that watches the socket.
    int Descriptor() const { return fd_; }
    // The show command of the next waiting request, if any; never blocks.
    std::optional<std::int32_t> TakeShowRequest();

  private:
    int fd_ = -1;
};

// Sends WM_SHOW_INSTANCE with the show command; false when no instance listens.
bool SendShowInstance(const std::string& windowClass, std::int32_t showCommand);

}  // namespace vzrm::platform::posix
