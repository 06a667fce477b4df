#include "platform/posix/posix_time_zone.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace vzrm::platform::posix {
namespace {

static_assert(sizeof(time_t) == 8, "64-bit time_t required");

bool FitsInt(std::int64_t value) {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// tzset() with TZ unset looks at the system's zone file on every call (a
// stat per converted time, a tenth of a report run). A changed TZ applies at
// once; the system's zone file is looked at again after a second. Each
// thread keeps its own account (tzset itself is safe from any thread), so
// converting threads take no lock per time. True when the zone was set again.
bool FollowZoneChanges() {
    thread_local std::optional<std::string> lastTz;
    thread_local bool once = false;
    thread_local std::chrono::steady_clock::time_point lastSet;
    const char* tz = std::getenv("TZ");
    const auto now = std::chrono::steady_clock::now();
    const bool sameTz = tz == nullptr ? !lastTz.has_value() : lastTz == tz;
    if (once && sameTz && now - lastSet < std::chrono::seconds(1)) {
        return false;
    }
    tzset();
    once = true;
    lastSet = now;
    lastTz = tz == nullptr ? std::nullopt : std::optional<std::string>(tz);
    return true;
}

}  // namespace

bool PosixTimeZone::ToLocal(std::int64_t instant, CalendarFields& local) const {
    // Events come many to a second: the last second's fields are kept until
    // the zone is set again.
    thread_local std::optional<std::pair<std::int64_t, CalendarFields>> last;
    if (FollowZoneChanges()) {
        last.reset();
    }
    if (last && last->first == instant) {
        local = last->second;
        return true;
    }
    const time_t t = instant;
    tm parts{};
    if (localtime_r(&t, &parts) == nullptr) {
        return false;
    }
    local.year = parts.tm_year + 1900;
    local.month = parts.tm_mon + 1;
    local.day = parts.tm_mday;
    local.hour = parts.tm_hour;
    local.minute = parts.tm_min;
    local.second = parts.tm_sec;
    local.dayOfWeek = parts.tm_wday;
    last.emplace(instant, local);
    return true;
}

bool PosixTimeZone::FromLocal(const CalendarFields& local, std::int64_t& instant) const {
    if (!FitsInt(static_cast<std::int64_t>(local.year) - 1900)) {
        return false;
    }
    tzset();
    tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;
    // mktime's -1 is also a valid instant; an untouched weekday tells failure.
    parts.tm_wday = -1;
    const time_t t = mktime(&parts);
    if (t == static_cast<time_t>(-1) && parts.tm_wday == -1) {
        return false;
    }
    instant = t;
    return true;
}

bool PosixTimeZone::StandardBiasMinutes(int& minutesEast) const {
    tzset();
    // The offset of a moment without daylight saving in the current year:
    // one of mid-January and mid-July is standard time in either hemisphere.
    const time_t now = time(nullptr);
    tm today{};
    if (localtime_r(&now, &today) == nullptr) {
        return false;
    }
    for (int month : {0, 6}) {
        tm probe{};
        probe.tm_year = today.tm_year;
        probe.tm_mon = month;
        probe.tm_mday = 15;
        probe.tm_hour = 12;
        probe.tm_isdst = -1;
        const time_t t = mktime(&probe);
        tm parts{};
        if (t == static_cast<time_t>(-1) || localtime_r(&t, &parts) == nullptr) {
            continue;
        }
        if (parts.tm_isdst == 0) {
            minutesEast = static_cast<int>(parts.tm_gmtoff / 60);
            return true;
        }
    }
    return false;
}

}  // namespace vzrm::platform::posix
