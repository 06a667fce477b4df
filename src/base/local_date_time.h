// Local calendar date-times (OLE-automation form) and instants, and their texts.
//
// A local date-time counts days since 1899-12-30 00:00 as a double, the
// fraction giving the time of day (for days before 1899-12-30 the fraction is
// still added as a positive time of day, as OLE does). Only whole seconds are
// used. An instant is signed seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/calendar.h"

namespace vzrm {

class CLocalDateTime {
  public:
    enum class Status { valid, invalid, null };

    CLocalDateTime() = default;  // null
    // Invalid unless every field is in range (years 100 to 9999).
    static CLocalDateTime FromFields(int year, int month, int day, int hour, int minute,
                                     int second);
    static CLocalDateTime FromFields(const platform::CalendarFields& fields);
    // Invalid outside the OLE range (100-01-01 to 9999-12-31 23:59:59).
    static CLocalDateTime FromOleValue(double value);
    static CLocalDateTime Invalid();

    Status GetStatus() const { return status_; }
    bool IsValid() const { return status_ == Status::valid; }
    double GetOleValue() const { return value_; }
    // Calendar fields rounded to the nearest second; false unless valid.
    bool GetFields(platform::CalendarFields& fields) const;

    // Valid date-times compare by value; others compare equal only to the same status.
    bool operator==(const CLocalDateTime& other) const;
    bool operator<(const CLocalDateTime& other) const { return value_ < other.value_; }
    bool operator<=(const CLocalDateTime& other) const { return value_ <= other.value_; }
    bool operator>(const CLocalDateTime& other) const { return value_ > other.value_; }
    bool operator>=(const CLocalDateTime& other) const { return value_ >= other.value_; }

  private:
    double value_ = 0.0;
    Status status_ = Status::null;
};

// Local time with daylight saving determined automatically. Fails for a date-time
// that is not valid, a year before 1900, a field out of range or a failed conversion.
bool LocalDateTimeToInstant(const CLocalDateTime& local, std::int64_t& instant);
// The same, where a local time names two instants (the hour repeated when the
// clocks go back) giving the earlier one: a period that starts there loses
// none of that hour's events.
bool LocalDateTimeToEarliestInstant(const CLocalDateTime& local, std::int64_t& instant);
// Valid only when the local fields survive the round trip through the date-time.
CLocalDateTime InstantToLocalDateTime(std::int64_t instant);
CLocalDateTime CurrentLocalDateTime();
std::int64_t CurrentInstant();

// The user's default date-and-time text: the short date, a blank and the time;
// the date alone at midnight, the time alone on 1899-12-30. "Invalid DateTime"
// for an invalid date-time, empty for a null one.
std::string LocalDateTimeText(const CLocalDateTime& local);

// The instant in local time, strftime-formatted into at most 128 characters;
// empty when the conversion or the formatting fails.
std::string InstantToReportText(std::int64_t instant, const char* format);
// The same for several formats, the instant converted once; `texts` has one
// place per format.
void InstantToReportTexts(std::int64_t instant, std::span<const char* const> formats,
                          std::span<std::string> texts);

// A file time (UTC, 100-ns units since 1601) as an instant. An instant whose
// local year is before 1900 gives 0; false when the local conversion fails.
bool FileTimeToInstant(std::uint64_t fileTime, std::int64_t& instant);

}  // namespace vzrm
