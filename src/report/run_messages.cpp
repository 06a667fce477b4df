#include "report/run_messages.h"

namespace vzrm {

void CRunMessageQueue::PostRunMessage(const RunMessage& message) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }
    posted_.notify_one();
}

RunMessage CRunMessageQueue::Wait() {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return !messages_.empty(); });
    const RunMessage message = messages_.front();
    messages_.pop_front();
    return message;
}

std::optional<RunMessage> CRunMessageQueue::TryTake() {
    std::lock_guard lock(mutex_);
    if (messages_.empty()) {
        return std::nullopt;
    }
    const RunMessage message = messages_.front();
    messages_.pop_front();
    return message;
}

}  // namespace vzrm
