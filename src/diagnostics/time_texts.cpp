#include "diagnostics/time_texts.h"

#include <cstdlib>

#include "audit/format_text.h"
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

std::string RegistryRootName(std::int64_t root) {
    // A root may arrive zero-extended from a 32-bit value; both forms name it.
    if (root >= 0x80000000LL && root <= 0xFFFFFFFFLL) {
        root = static_cast<std::int32_t>(static_cast<std::uint32_t>(root));
    }
    switch (root) {
        case kHkeyClassesRoot:
            return "HKCR";
        case kHkeyCurrentUser:
            return "HKCU";
        case kHkeyLocalMachine:
            return "HKLM";
        case kHkeyUsers:
            return "HKUS";
        case kHkeyPerformanceData:
            return "HKPD";
        case kHkeyCurrentConfig:
            return "HKCC";
        case kHkeyDynData:
            return "HKDD";
        case kHkeyPerformanceText:
            return "HKPT";
        case kHkeyPerformanceNlsText:
            return "HKPN";
        default:
            return {};
    }
}

}  // namespace vzrm
