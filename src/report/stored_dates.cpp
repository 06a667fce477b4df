#include "report/stored_dates.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/calendar.h"
#include "settings/options_profiles.h"

namespace vzrm {

CLocalDateTime ReadStoredDate(COptProf& options, const char* name) {
    double value = 0;
    std::uint8_t bytes[sizeof value];
    if (options.GetOptBin(name, bytes, sizeof bytes) != sizeof bytes) {
        return CLocalDateTime();
    }
    std::memcpy(&value, bytes, sizeof value);
    return value == 0 ? CLocalDateTime() : CLocalDateTime::FromOleValue(value);
}

void SetStoredDate(COptProf& options, const char* name, const CLocalDateTime& time) {
    const double value = time.GetStatus() == CLocalDateTime::Status::null ? 0 : time.GetOleValue();
    std::uint8_t bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    options.SetOptBin(name, bytes, sizeof bytes);
}

namespace {

// The local fields counted as if they were UTC.
std::int64_t FieldSeconds(const CLocalDateTime& local) {
    platform::CalendarFields fields;
    local.GetFields(fields);
    return platform::DaysFromCivil(fields.year, static_cast<unsigned>(fields.month),
                                   static_cast<unsigned>(fields.day)) *
               86400 +
           fields.hour * 3600 + fields.minute * 60 + fields.second;
}

}  // namespace

std::int64_t ZoneOffsetAt(const CLocalDateTime& local) {
    std::int64_t instant = 0;
    if (!local.IsValid() || !LocalDateTimeToInstant(local, instant)) {
        return 0;
    }
    return FieldSeconds(local) - instant;
}

CLocalDateTime FromZoneOffset(const CLocalDateTime& local, std::int64_t offset) {
    if (!local.IsValid()) {
        return local;
    }
    const CLocalDateTime moved = InstantToLocalDateTime(FieldSeconds(local) - offset);
    return moved.IsValid() ? moved : local;
}

std::optional<std::int64_t> ReadStoredZone(COptProf& options) {
    const std::string text = options.GetOptStr(kLastDateZone);
    std::int64_t offset = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), offset);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        offset < -86400 || offset > 86400) {
        return std::nullopt;
    }
    return offset;
}

}  // namespace vzrm
