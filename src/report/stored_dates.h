// The dates a report run keeps in the options between runs.
#pragma once

#include <cstdint>
#include <optional>

#include "base/local_date_time.h"
#include "settings/option_names.h"

namespace vzrm {

class COptProf;

// The date-time of a binary value of 8 bytes; null when absent, of another
// size or 0.
CLocalDateTime ReadStoredDate(COptProf& options, const char* name);
// Sets the value in memory only; a null date-time is stored as 0.
void SetStoredDate(COptProf& options, const char* name, const CLocalDateTime& time);

// The zone's offset from UTC at a local date-time of this zone; 0 when it
// cannot be converted.
std::int64_t ZoneOffsetAt(const CLocalDateTime& local);
// A local date-time of a zone `offset` seconds east of UTC, as the local
// date-time of the same instant in this zone; null and invalid ones as given.
CLocalDateTime FromZoneOffset(const CLocalDateTime& local, std::int64_t offset);
// The stored zone offset, when there is one.
std::optional<std::int64_t> ReadStoredZone(COptProf& options);

}  // namespace vzrm
