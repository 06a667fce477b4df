// Short texts of the local time zone and of file times.
// None of them throws; each failure yields the text documented below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vzrm {

inline constexpr int kTimeZoneQueryFailed = -9999;

// Minutes east of UTC of standard time, or kTimeZoneQueryFailed.
int TimeZoneBiasMinutes();
// "(GMT+1:00)" for the current zone; only the hour part carries the sign.
std::string DescribeTimeZone();
std::string DescribeTimeZone(int minutesEast);

enum FileTimeFlags : std::uint8_t {
    FT_LONG_DATE = 0x01,
    FT_DATE = 0x02,
    FT_TIME = 0x04,
    FT_ALREADY_LOCAL = 0x08,
};
// The file time (UTC, 100-ns units since 1601) as the user's date and time;
// empty for a missing or zero file time or a failed conversion.
std::string FormatFileTime(std::optional<std::uint64_t> fileTime, std::uint8_t flags);

}  // namespace vzrm
