#include "platform/posix/posix_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>
#include <string_view>

namespace vzrm::platform::posix {
namespace {

// An owned locale_t for the categories we read; falls back to "C".
class UserLocale {
  public:
    UserLocale() {
        handle_ = newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
        if (handle_ == static_cast<locale_t>(nullptr)) {
            handle_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        }
    }
    ~UserLocale() {
        if (handle_ != static_cast<locale_t>(nullptr)) {
            freelocale(handle_);
        }
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

    std::string Info(nl_item item) const {
        if (handle_ == static_cast<locale_t>(nullptr)) {
            return {};
        }
        const char* text = nl_langinfo_l(item, handle_);
        return text ? text : "";
    }

    std::string Format(const std::string& pattern, const CalendarFields& fields) const {
        tm parts{};
        parts.tm_year = fields.year - 1900;
        parts.tm_mon = fields.month - 1;
        parts.tm_mday = fields.day;
        parts.tm_hour = fields.hour;
        parts.tm_min = fields.minute;
        parts.tm_sec = fields.second;
        parts.tm_wday =
            CivilFromDays(DaysFromCivil(fields.year, static_cast<unsigned>(fields.month),
                                        static_cast<unsigned>(fields.day)))
                .dayOfWeek;
        char buffer[256];
        const std::size_t length =
            handle_ == static_cast<locale_t>(nullptr)
                ? 0
                : strftime_l(buffer, sizeof buffer, pattern.c_str(), &parts, handle_);
        return std::string(buffer, length);
    }

  private:
    locale_t handle_;
};

std::string ShortDatePattern(const UserLocale& locale) {
    std::string pattern = locale.Info(D_FMT);
    if (pattern.empty() || pattern == "%m/%d/%y") {
        return "%Y-%m-%d";
    }
    for (std::size_t at = pattern.find("%y"); at != std::string::npos;
         at = pattern.find("%y", at + 2)) {
        pattern[at + 1] = 'Y';
    }
    return pattern;
}

}  // namespace

std::string PosixLocale::FormatDate(const CalendarFields& fields, bool longForm) const {
    const UserLocale locale;
    const std::string pattern = ShortDatePattern(locale);
    return locale.Format(longForm ? "%A, " + pattern : pattern, fields);
}

std::string PosixLocale::FormatTime(const CalendarFields& fields) const {
    const UserLocale locale;
    std::string pattern = locale.Info(T_FMT);
    if (pattern.empty()) {
        pattern = "%H:%M:%S";
    }
    return locale.Format(pattern, fields);
}

std::string PosixLocale::ListSeparator() const {
    const UserLocale locale;
    return locale.Info(RADIXCHAR) == "," ? ";" : ",";
}

}  // namespace vzrm::platform::posix
