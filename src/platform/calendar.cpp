#include "platform/calendar.h"

namespace vzrm::platform {

// Howard Hinnant's civil-date algorithms: exact for every 64-bit day count we use.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

CalendarFields CivilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    CalendarFields fields;
    fields.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    fields.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    fields.year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 +
                                   (fields.month <= 2 ? 1 : 0));
    const std::int64_t weekday = (days + 4) % 7;  // 1970-01-01 was a Thursday
    fields.dayOfWeek = static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
    return fields;
}

CalendarFields UtcFieldsOfInstant(std::int64_t instant) {
    std::int64_t days = instant / 86400;
    std::int64_t secondOfDay = instant % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    CalendarFields fields = CivilFromDays(days);
    fields.hour = static_cast<int>(secondOfDay / 3600);
    fields.minute = static_cast<int>(secondOfDay / 60 % 60);
    fields.second = static_cast<int>(secondOfDay % 60);
    return fields;
}

}  // namespace vzrm::platform
