// Short texts of the local time zone, of file times and of registry roots.
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

// Registry root handle values, as 32-bit handles sign-extended to 64 bits.
inline constexpr std::int64_t kHkeyClassesRoot = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::int64_t kHkeyCurrentUser = static_cast<std::int32_t>(0x80000001u);
inline constexpr std::int64_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::int64_t kHkeyUsers = static_cast<std::int32_t>(0x80000003u);
inline constexpr std::int64_t kHkeyPerformanceData = static_cast<std::int32_t>(0x80000004u);
inline constexpr std::int64_t kHkeyCurrentConfig = static_cast<std::int32_t>(0x80000005u);
inline constexpr std::int64_t kHkeyDynData = static_cast<std::int32_t>(0x80000006u);
inline constexpr std::int64_t kHkeyPerformanceText = static_cast<std::int32_t>(0x80000050u);
inline constexpr std::int64_t kHkeyPerformanceNlsText = static_cast<std::int32_t>(0x80000060u);

// "HKLM" and the like; empty for a handle that is not a predefined root.
std::string RegistryRootName(std::int64_t root);

}  // namespace vzrm
