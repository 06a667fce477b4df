#include "platform/posix/posix_clock.h"

#include <ctime>

#include "platform/calendar.h"

namespace vzrm::platform::posix {

std::int64_t PosixClock::NowFileTime() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromInstant(now.tv_sec) + now.tv_nsec / 100;
}

}  // namespace vzrm::platform::posix
