#pragma once

#include "platform/time_zone.h"

namespace vzrm::platform::posix {

// The zone named by TZ (or the system's), through the C library's 64-bit
// time_t conversions; a changed TZ applies to the next conversion.
class PosixTimeZone final : public ITimeZone {
  public:
    bool ToLocal(std::int64_t instant, CalendarFields& local) const override;
    bool FromLocal(const CalendarFields& local, std::int64_t& instant) const override;
    bool StandardBiasMinutes(int& minutesEast) const override;
    // localtime_r fails only where the year does not fit an int.
    bool ConvertsEveryInstant() const override { return true; }
};

}  // namespace vzrm::platform::posix
