#include "base/time_texts.h"

#include <cstdlib>

#include "base/format_text.h"
#include "platform/services.h"

namespace vzrm {

int TimeZoneBiasMinutes() {
    int minutesEast = 0;
    return platform::TimeZone().StandardBiasMinutes(minutesEast) ? minutesEast
                                                                 : kTimeZoneQueryFailed;
}

std::string DescribeTimeZone() {
    return DescribeTimeZone(TimeZoneBiasMinutes());
}

std::string DescribeTimeZone(int minutesEast) {
    return FormatText("(GMT%+0d:%02d)", minutesEast / 60, std::abs(minutesEast) % 60);
}

std::string FormatFileTime(std::optional<std::uint64_t> fileTime, std::uint8_t flags) {
    if (!fileTime || *fileTime == 0) {
        return {};
    }
    if ((flags & (FT_DATE | FT_TIME)) == 0) {
        flags |= FT_DATE | FT_TIME;
    }
    const auto seconds = static_cast<std::int64_t>(*fileTime / platform::kFileTimeTicksPerSecond) -
                         platform::kFileTimeEpochOffsetSeconds;
    platform::CalendarFields fields;
    if (flags & FT_ALREADY_LOCAL) {
        fields = platform::UtcFieldsOfInstant(seconds);
    } else if (!platform::TimeZone().ToLocal(seconds, fields)) {
        return {};
    }
    const platform::ILocale& locale = platform::Locale();
    const std::string date =
        flags & FT_DATE ? locale.FormatDate(fields, (flags & FT_LONG_DATE) != 0).substr(0, 255)
                        : std::string();
    const std::string time = flags & FT_TIME ? locale.FormatTime(fields).substr(0, 255) : "";
    if (!date.empty() && !time.empty()) {
        return date + " " + time;
    }
    return date + time;
}

}  // namespace vzrm
