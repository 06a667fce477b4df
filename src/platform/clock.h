// The wall clock, behind an interface so that tests can stop time.
#pragma once

#include <cstdint>

namespace vzrm::platform {

class IClock {
  public:
    virtual ~IClock() = default;
    // UTC in 100-ns units since 1601-01-01 (the Windows file-time scale).
    virtual std::int64_t NowFileTime() const = 0;
};

}  // namespace vzrm::platform
