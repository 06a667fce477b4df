#include "report/stored_dates.h"

#include <cstdint>
#include <cstring>

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

}  // namespace vzrm
