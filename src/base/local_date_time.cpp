#include "base/local_date_time.h"

#include <cmath>
#include <ctime>

#include "platform/services.h"

namespace vzrm {
namespace {

using platform::CalendarFields;

constexpr double kMinOleValue = -657434.0;                      // 0100-01-01 00:00:00
constexpr double kMaxOleValue = 2958465.0 + 86399.0 / 86400.0;  // 9999-12-31 23:59:59
const std::int64_t kOleEpochDays = platform::DaysFromCivil(1899, 12, 30);

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

CLocalDateTime CLocalDateTime::FromFields(int year, int month, int day, int hour, int minute,
                                          int second) {
    const bool inRange = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                         day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 &&
                         minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
    if (!inRange) {
        return Invalid();
    }
    const auto days = static_cast<double>(
        platform::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kOleEpochDays);
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    CLocalDateTime result;
    result.value_ = days >= 0 ? days + fraction : days - fraction;
    result.status_ = Status::valid;
    return result;
}

CLocalDateTime CLocalDateTime::FromFields(const CalendarFields& f) {
    return FromFields(f.year, f.month, f.day, f.hour, f.minute, f.second);
}

CLocalDateTime CLocalDateTime::FromOleValue(double value) {
    if (!(value >= kMinOleValue && value <= kMaxOleValue)) {
        return Invalid();
    }
    CLocalDateTime result;
    result.value_ = value;
    result.status_ = Status::valid;
    return result;
}

CLocalDateTime CLocalDateTime::Invalid() {
    CLocalDateTime result;
    result.status_ = Status::invalid;
    return result;
}

bool CLocalDateTime::GetFields(CalendarFields& fields) const {
    if (!IsValid()) {
        return false;
    }
    auto days = static_cast<std::int64_t>(std::trunc(value_));
    auto seconds =
        static_cast<std::int64_t>(std::llround(std::fabs(value_ - std::trunc(value_)) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    fields = platform::CivilFromDays(days + kOleEpochDays);
    fields.hour = static_cast<int>(seconds / 3600);
    fields.minute = static_cast<int>(seconds / 60 % 60);
    fields.second = static_cast<int>(seconds % 60);
    return true;
}

bool CLocalDateTime::operator==(const CLocalDateTime& other) const {
    if (status_ != other.status_) {
        return false;
    }
    return status_ != Status::valid || value_ == other.value_;
}

bool LocalDateTimeToInstant(const CLocalDateTime& local, std::int64_t& instant) {
    CalendarFields f;
    if (!local.GetFields(f)) {
        return false;
    }
    const bool inRange = f.year >= 1900 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
                         f.day <= 31 && f.hour <= 23 && f.minute <= 59 && f.second <= 59;
    return inRange && platform::TimeZone().FromLocal(f, instant);
}

bool LocalDateTimeToEarliestInstant(const CLocalDateTime& local, std::int64_t& instant) {
    if (!LocalDateTimeToInstant(local, instant)) {
        return false;
    }
    CalendarFields wanted;
    local.GetFields(wanted);
    // Clocks go back by half an hour, an hour or two; the earliest instant
    // with the same local fields wins.
    for (const std::int64_t back : {7200, 3600, 1800}) {
        CalendarFields earlier;
        if (platform::TimeZone().ToLocal(instant - back, earlier) && earlier.SameDateTime(wanted)) {
            instant -= back;
            return true;
        }
    }
    return true;
}

CLocalDateTime InstantToLocalDateTime(std::int64_t instant) {
    CalendarFields local;
    if (!platform::TimeZone().ToLocal(instant, local)) {
        return CLocalDateTime::Invalid();
    }
    const CLocalDateTime result = CLocalDateTime::FromFields(local);
    CalendarFields back;
    if (!result.GetFields(back) || !back.SameDateTime(local)) {
        return CLocalDateTime::Invalid();
    }
    return result;
}

std::int64_t CurrentInstant() {
    return platform::InstantFromFileTime(platform::Clock().NowFileTime());
}

CLocalDateTime CurrentLocalDateTime() {
    return InstantToLocalDateTime(CurrentInstant());
}

std::string LocalDateTimeText(const CLocalDateTime& local) {
    if (local.GetStatus() == CLocalDateTime::Status::null) {
        return {};
    }
    CalendarFields f;
    if (!local.GetFields(f)) {
        return "Invalid DateTime";
    }
    const bool noDate = f.year == 1899 && f.month == 12 && f.day == 30;
    const bool noTime = f.hour == 0 && f.minute == 0 && f.second == 0;
    const platform::ILocale& locale = platform::Locale();
    if (noDate) {
        return locale.FormatTime(f);
    }
    if (noTime) {
        return locale.FormatDate(f, false);
    }
    return locale.FormatDate(f, false) + " " + locale.FormatTime(f);
}

std::string InstantToReportText(std::int64_t instant, const char* format) {
    std::string text;
    InstantToReportTexts(instant, {&format, 1}, {&text, 1});
    return text;
}

void InstantToReportTexts(std::int64_t instant, std::span<const char* const> formats,
                          std::span<std::string> texts) {
    for (std::string& text : texts) {
        text.clear();
    }
    CalendarFields f;
    if (!platform::TimeZone().ToLocal(instant, f)) {
        return;
    }
    tm parts{};
    parts.tm_year = f.year - 1900;
    parts.tm_mon = f.month - 1;
    parts.tm_mday = f.day;
    parts.tm_hour = f.hour;
    parts.tm_min = f.minute;
    parts.tm_sec = f.second;
    parts.tm_wday = f.dayOfWeek;
    for (std::size_t i = 0; i < formats.size() && i < texts.size(); ++i) {
        if (formats[i] != nullptr) {
            char buffer[128];
            const std::size_t length = std::strftime(buffer, sizeof buffer, formats[i], &parts);
            texts[i].assign(buffer, length);
        }
    }
}

bool FileTimeToInstant(std::uint64_t fileTime, std::int64_t& instant) {
    // Converted directly rather than through local calendar fields: the local
    // round trip is ambiguous in the repeated autumn hour.
    const std::int64_t exact =
        static_cast<std::int64_t>(fileTime / platform::kFileTimeTicksPerSecond) -
        platform::kFileTimeEpochOffsetSeconds;
    // Days away from 1900, no zone's offset takes the local year across it:
    // a zone whose conversions cannot fail is then not asked (once per event).
    constexpr std::int64_t kDay = 86400;
    static const std::int64_t kFrom = (platform::DaysFromCivil(1900, 1, 1) + 8) * kDay;
    static const std::int64_t kTo = (platform::DaysFromCivil(10000, 1, 1) - 8) * kDay;
    const platform::ITimeZone& zone = platform::TimeZone();
    if (exact >= kFrom && exact < kTo && zone.ConvertsEveryInstant()) {
        instant = exact;
        return true;
    }
    CalendarFields local;
    if (!zone.ToLocal(exact, local)) {
        return false;
    }
    instant = local.year < 1900 ? 0 : exact;
    return true;
}

}  // namespace vzrm
