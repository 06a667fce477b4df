// The local time zone: conversions between instants and local calendar fields.
#pragma once

#include <cstdint>

#include "platform/calendar.h"

namespace vzrm::platform {

class ITimeZone {
  public:
    virtual ~ITimeZone() = default;
    // Local calendar fields of an instant (seconds since 1970 UTC).
    virtual bool ToLocal(std::int64_t instant, CalendarFields& local) const = 0;
    // The instant of local calendar fields; daylight saving is determined
    // automatically and out-of-range fields are normalised, as mktime does.
    virtual bool FromLocal(const CalendarFields& local, std::int64_t& instant) const = 0;
    // Minutes east of UTC of the zone's standard time (daylight saving not applied).
    virtual bool StandardBiasMinutes(int& minutesEast) const = 0;
    // True when ToLocal cannot fail for an instant of the years 1 to 9999:
    // a caller that needs only to know that it would succeed need not ask.
    virtual bool ConvertsEveryInstant() const { return false; }
};

}  // namespace vzrm::platform
