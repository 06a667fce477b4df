#include "support/fake_services.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace vzrm::test {

bool FakeTimeZone::ToLocal(std::int64_t instant, platform::CalendarFields& local) const {
    if (failQueries) {
        return false;
    }
    local = platform::UtcFieldsOfInstant(instant + minutesEast_ * 60LL);
    return true;
}

bool FakeTimeZone::FromLocal(const platform::CalendarFields& local, std::int64_t& instant) const {
    if (failQueries) {
        return false;
    }
    const std::int64_t days =
        platform::DaysFromCivil(local.year, static_cast<unsigned>(local.month), 1) + local.day - 1;
    instant =
        days * 86400 + local.hour * 3600 + local.minute * 60 + local.second - minutesEast_ * 60LL;
    return true;
}

bool FakeTimeZone::StandardBiasMinutes(int& minutesEast) const {
    if (failQueries) {
        return false;
    }
    minutesEast = minutesEast_;
    return true;
}

std::string FakeLocale::FormatDate(const platform::CalendarFields& f, bool longForm) const {
    static const char* const kDays[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                        "Donnerstag", "Freitag", "Samstag"};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", f.day, f.month, f.year);
    if (!longForm) {
        return buffer;
    }
    const int weekday =
        platform::CivilFromDays(platform::DaysFromCivil(f.year, static_cast<unsigned>(f.month),
                                                        static_cast<unsigned>(f.day)))
            .dayOfWeek;
    return std::string(kDays[weekday]) + ", " + buffer;
}

std::string FakeLocale::FormatTime(const platform::CalendarFields& f) const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", f.hour, f.minute, f.second);
    return buffer;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        previous_ = old;
    }
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
    tzset();
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
    tzset();
}

}  // namespace vzrm::test
