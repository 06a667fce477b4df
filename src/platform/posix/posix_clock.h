#pragma once

#include "platform/clock.h"

namespace vzrm::platform::posix {

class PosixClock final : public IClock {
  public:
    std::int64_t NowFileTime() const override;
};

}  // namespace vzrm::platform::posix
