#pragma once

#include "platform/locale.h"

namespace vzrm::platform::posix {

// The user's locale from the environment (LC_ALL, LC_TIME, LC_NUMERIC, LANG),
// read on every call without touching the process's global locale.
// Dates use LC_TIME's date form with a four-digit year; the "C" locale, whose
// two-digit form is ambiguous in reports, writes ISO 8601 dates instead.
class PosixLocale final : public ILocale {
  public:
    std::string FormatDate(const CalendarFields& fields, bool longForm) const override;
    std::string FormatTime(const CalendarFields& fields) const override;
    std::string ListSeparator() const override;
};

}  // namespace vzrm::platform::posix
