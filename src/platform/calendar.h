// Broken-down calendar time and the pure arithmetic on it.
#pragma once

#include <cstdint>

namespace vzrm::platform {

struct CalendarFields {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 0;  // 0 = Sunday; filled by conversions, ignored on input

    bool SameDateTime(const CalendarFields& other) const {
        return year == other.year && month == other.month && day == other.day &&
               hour == other.hour && minute == other.minute && second == other.second;
    }
};

// Days since 1970-01-01 of a proleptic Gregorian date (negative before).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
// The inverse of DaysFromCivil; also fills dayOfWeek.
CalendarFields CivilFromDays(std::int64_t days);
// UTC calendar fields of an instant (seconds since 1970 UTC).
CalendarFields UtcFieldsOfInstant(std::int64_t instant);

inline constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr std::int64_t kFileTimeEpochOffsetSeconds = 11'644'473'600;

inline std::int64_t InstantFromFileTime(std::int64_t fileTime) {
    return fileTime / kFileTimeTicksPerSecond - kFileTimeEpochOffsetSeconds;
}
inline std::int64_t FileTimeFromInstant(std::int64_t instant) {
    return (instant + kFileTimeEpochOffsetSeconds) * kFileTimeTicksPerSecond;
}

}  // namespace vzrm::platform
