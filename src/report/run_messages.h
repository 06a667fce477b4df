// The messages a report run's worker sends back to the user-interface thread,
// and the queue that carries them in order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace vzrm {

inline constexpr std::uint32_t WM_AUDIT_DONE = 0x0403;
inline constexpr std::uint32_t WM_RUN_AND_CLOSE = 0x0404;
inline constexpr std::uint32_t WM_AUDIT_COUNT = 0x0406;
inline constexpr std::uint32_t WM_AUDIT_LASTDATA = 0x0407;
// How far the worker has read the log: events (wParam), the position in the
// log file (lParam) and its size (extra).
inline constexpr std::uint32_t WM_AUDIT_PROGRESS = 0x0408;

struct RunMessage {
    std::uint32_t message = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    std::int64_t extra = 0;  // a third value, for the messages that need one
};

// Where a worker posts its messages (a window in the real program).
class IRunMessageTarget {
  public:
    virtual ~IRunMessageTarget() = default;
    virtual void PostRunMessage(const RunMessage& message) = 0;
};

// A thread-safe first-in first-out queue of run messages.
class CRunMessageQueue : public IRunMessageTarget {
  public:
    void PostRunMessage(const RunMessage& message) override;
    // The oldest message, waiting for one when the queue is empty.
    RunMessage Wait();
    // The oldest message, if any.
    std::optional<RunMessage> TryTake();

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<RunMessage> messages_;
};

}  // namespace vzrm
