#include "base/time_texts.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace vzrm {
namespace {

TEST(DescribeTimeZone, OnlyTheHourPartCarriesTheSign) {
    EXPECT_EQ(DescribeTimeZone(60), "(GMT+1:00)");
    EXPECT_EQ(DescribeTimeZone(330), "(GMT+5:30)");
    EXPECT_EQ(DescribeTimeZone(-210), "(GMT-3:30)");
    EXPECT_EQ(DescribeTimeZone(-30), "(GMT+0:30)");
    EXPECT_EQ(DescribeTimeZone(0), "(GMT+0:00)");
    EXPECT_EQ(DescribeTimeZone(kTimeZoneQueryFailed), "(GMT-166:39)");
}

TEST(DescribeTimeZone, FailedQueryGivesTheSentinel) {
    test::FakeTimeZone zone;
    zone.failQueries = true;
    test::ScopedServices services({.timeZone = &zone});
    EXPECT_EQ(TimeZoneBiasMinutes(), kTimeZoneQueryFailed);
    EXPECT_EQ(DescribeTimeZone(), "(GMT-166:39)");
}

class FileTimeTexts : public ::testing::Test {
  protected:
    test::FakeTimeZone zone{60};
    test::FakeLocale locale;
    test::ScopedServices services{{.timeZone = &zone, .locale = &locale}};
    // 2026-03-14 09:05:33 UTC
    const std::uint64_t fileTime =
        static_cast<std::uint64_t>(platform::FileTimeFromInstant(1773479133));
};

TEST_F(FileTimeTexts, FlagsChooseDateTimeAndForm) {
    EXPECT_EQ(FormatFileTime(fileTime, 0), "14.03.2026 10:05:33");
    EXPECT_EQ(FormatFileTime(fileTime, FT_DATE), "14.03.2026");
    EXPECT_EQ(FormatFileTime(fileTime, FT_TIME), "10:05:33");
    EXPECT_EQ(FormatFileTime(fileTime, FT_DATE | FT_LONG_DATE), "Samstag, 14.03.2026");
    EXPECT_EQ(FormatFileTime(fileTime, FT_ALREADY_LOCAL), "14.03.2026 09:05:33");
}

TEST_F(FileTimeTexts, MissingOrZeroTimeGivesEmptyText) {
    EXPECT_EQ(FormatFileTime(std::nullopt, 0), "");
    EXPECT_EQ(FormatFileTime(0, FT_DATE | FT_TIME | FT_LONG_DATE), "");
    zone.failQueries = true;
    EXPECT_EQ(FormatFileTime(fileTime, 0), "");
}

}  // namespace
}  // namespace vzrm
