// The user's locale: how dates and times are written, and the list separator.
#pragma once

#include <string>

#include "platform/calendar.h"

namespace vzrm::platform {

class ILocale {
  public:
    virtual ~ILocale() = default;
    // The user's short (or long) date form of the date part of the fields.
    virtual std::string FormatDate(const CalendarFields& fields, bool longForm) const = 0;
    // The user's time form of the time part of the fields.
    virtual std::string FormatTime(const CalendarFields& fields) const = 0;
    // The user's list separator; may be empty when the locale has none.
    virtual std::string ListSeparator() const = 0;
};

}  // namespace vzrm::platform
