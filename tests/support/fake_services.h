// Fakes of the platform services and helpers that install them for one test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/services.h"

namespace vzrm::test {

class FakeClock final : public platform::IClock {
  public:
    std::int64_t NowFileTime() const override { return fileTime; }
    void SetInstant(std::int64_t instant) { fileTime = platform::FileTimeFromInstant(instant); }

    std::int64_t fileTime = platform::FileTimeFromInstant(1'773'479'133);  // 2026-03-14 09:05:33
};

// A zone with a fixed offset and no daylight saving.
class FakeTimeZone final : public platform::ITimeZone {
  public:
    explicit FakeTimeZone(int minutesEast = 0) : minutesEast_(minutesEast) {}
    bool ToLocal(std::int64_t instant, platform::CalendarFields& local) const override;
    bool FromLocal(const platform::CalendarFields& local, std::int64_t& instant) const override;
    bool StandardBiasMinutes(int& minutesEast) const override;

    bool failQueries = false;

  private:
    int minutesEast_;
};

// German-style forms: "14.03.2026", "Samstag, 14.03.2026", "09:05:33".
class FakeLocale final : public platform::ILocale {
  public:
    std::string FormatDate(const platform::CalendarFields& fields, bool longForm) const override;
    std::string FormatTime(const platform::CalendarFields& fields) const override;
    std::string ListSeparator() const override { return listSeparator; }

    std::string listSeparator = ";";
};

// Installs the given services for the lifetime of the object.
class ScopedServices {
  public:
    explicit ScopedServices(const platform::Services& services)
        : previous_(platform::InstallServices(services)) {}
    ~ScopedServices() { platform::InstallServices(previous_); }
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

  private:
    platform::Services previous_;
};

// Sets an environment variable (TZ, LC_ALL, ...) for the lifetime of the object.
class ScopedEnv {
  public:
    // A null value unsets the variable.
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace vzrm::test
