#include "platform/posix/posix_locale.h"

#include <gtest/gtest.h>
#include <locale.h>

#include "support/fake_services.h"

namespace vzrm::platform::posix {
namespace {

bool LocaleInstalled(const char* name) {
    const locale_t handle = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (handle == static_cast<locale_t>(nullptr)) {
        return false;
    }
    freelocale(handle);
    return true;
}

const CalendarFields kSample{2026, 3, 14, 9, 5, 33};

TEST(PosixLocale, CLocaleWritesIsoDates) {
    test::ScopedEnv all("LC_ALL", "C");
    const PosixLocale locale;
    EXPECT_EQ(locale.FormatDate(kSample, false), "2026-03-14");
    EXPECT_EQ(locale.FormatDate(kSample, true), "Saturday, 2026-03-14");
    EXPECT_EQ(locale.FormatTime(kSample), "09:05:33");
    EXPECT_EQ(locale.ListSeparator(), ",");
}

TEST(PosixLocale, GermanFormsAndSemicolonSeparator) {
    if (!LocaleInstalled("de_DE.UTF-8")) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/bootstrap.sh generates it)";
    }
    test::ScopedEnv all("LC_ALL", "de_DE.UTF-8");
    const PosixLocale locale;
    EXPECT_EQ(locale.FormatDate(kSample, false), "14.03.2026");
    EXPECT_EQ(locale.FormatTime(kSample), "09:05:33");
    EXPECT_EQ(locale.ListSeparator(), ";");
}

TEST(PosixLocale, UsFormsWithFourDigitYears) {
    if (!LocaleInstalled("en_US.UTF-8")) {
        GTEST_SKIP() << "en_US.UTF-8 is not installed (scripts/bootstrap.sh generates it)";
    }
    test::ScopedEnv all("LC_ALL", "en_US.UTF-8");
    const PosixLocale locale;
    EXPECT_EQ(locale.FormatDate(kSample, false), "03/14/2026");
    EXPECT_EQ(locale.FormatTime(kSample), "09:05:33 AM");
    EXPECT_EQ(locale.ListSeparator(), ",");
}

TEST(PosixLocale, UnknownLocaleFallsBackToC) {
    test::ScopedEnv all("LC_ALL", "xx_NOWHERE.UTF-8");
    const PosixLocale locale;
    EXPECT_EQ(locale.FormatDate(kSample, false), "2026-03-14");
    EXPECT_EQ(locale.ListSeparator(), ",");
}

}  // namespace
}  // namespace vzrm::platform::posix
