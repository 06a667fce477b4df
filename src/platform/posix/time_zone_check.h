// Whether TZ names a zone this system knows. The C library takes a zone it
// cannot find as UTC without a word, which would shift every stored date.
#pragma once

#include <string>

namespace vzrm::platform::posix {

// True when TZ is unset or empty, names a zone file (under $TZDIR or
// /usr/share/zoneinfo, or by its absolute path), or is a POSIX zone rule
// ("CET-1CEST,M3.5.0,M10.5.0/3"). Otherwise false, with `problem` saying why.
bool TimeZoneIsKnown(std::string& problem);

}  // namespace vzrm::platform::posix
