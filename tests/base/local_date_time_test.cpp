#include "base/local_date_time.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fake_services.h"

namespace vzrm {
namespace {

using platform::CalendarFields;

CalendarFields FieldsOf(const CLocalDateTime& dt) {
    CalendarFields f;
    EXPECT_TRUE(dt.GetFields(f));
    return f;
}

std::int64_t InstantOf(int y, int mo, int d, int h, int mi, int s) {
    std::int64_t instant = 0;
    EXPECT_TRUE(LocalDateTimeToInstant(CLocalDateTime::FromFields(y, mo, d, h, mi, s), instant));
    return instant;
}

TEST(LocalDateTime, OleValuesCountDaysFrom1899_12_30) {
    EXPECT_EQ(CLocalDateTime::FromFields(1899, 12, 30, 0, 0, 0).GetOleValue(), 0.0);
    EXPECT_EQ(CLocalDateTime::FromFields(1900, 1, 1, 12, 0, 0).GetOleValue(), 2.5);
    // Before the epoch the time of day is still added as a positive fraction.
    EXPECT_EQ(CLocalDateTime::FromFields(1899, 12, 29, 6, 0, 0).GetOleValue(), -1.25);
    const CalendarFields f = FieldsOf(CLocalDateTime::FromOleValue(-1.25));
    EXPECT_TRUE(f.SameDateTime({1899, 12, 29, 6, 0, 0}));
}

TEST(LocalDateTime, FieldsSurviveTheRoundTripToWholeSeconds) {
    for (const CalendarFields& in :
         {CalendarFields{2026, 3, 14, 9, 5, 33}, CalendarFields{100, 1, 1, 0, 0, 0},
          CalendarFields{9999, 12, 31, 23, 59, 59}, CalendarFields{2024, 2, 29, 12, 0, 1}}) {
        EXPECT_TRUE(FieldsOf(CLocalDateTime::FromFields(in)).SameDateTime(in)) << in.year;
    }
    // A value a hair below midnight rounds to the next day.
    const CalendarFields f = FieldsOf(CLocalDateTime::FromOleValue(1.0 - 1e-9));
    EXPECT_TRUE(f.SameDateTime({1899, 12, 31, 0, 0, 0}));
}

TEST(LocalDateTime, FieldsOutOfRangeGiveAnInvalidDateTime) {
    EXPECT_EQ(CLocalDateTime::FromFields(2026, 2, 29, 0, 0, 0).GetStatus(),
              CLocalDateTime::Status::invalid);
    EXPECT_FALSE(CLocalDateTime::FromFields(2026, 13, 1, 0, 0, 0).IsValid());
    EXPECT_FALSE(CLocalDateTime::FromFields(2026, 1, 1, 24, 0, 0).IsValid());
    EXPECT_FALSE(CLocalDateTime::FromFields(99, 1, 1, 0, 0, 0).IsValid());
    EXPECT_FALSE(CLocalDateTime::FromOleValue(3e6).IsValid());
    EXPECT_EQ(CLocalDateTime().GetStatus(), CLocalDateTime::Status::null);
}

TEST(LocalDateTime, InstantZeroIsMidnight1970InUtc) {
    const CLocalDateTime dt = InstantToLocalDateTime(0);
    ASSERT_TRUE(dt.IsValid());
    EXPECT_TRUE(FieldsOf(dt).SameDateTime({1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(InstantOf(1970, 1, 1, 0, 0, 0), 0);
}

TEST(LocalDateTime, ConversionFailsForYearsBefore1900AndNonValidDateTimes) {
    std::int64_t instant = 42;
    EXPECT_FALSE(
        LocalDateTimeToInstant(CLocalDateTime::FromFields(1899, 12, 31, 0, 0, 0), instant));
    EXPECT_FALSE(LocalDateTimeToInstant(CLocalDateTime(), instant));
    EXPECT_FALSE(LocalDateTimeToInstant(CLocalDateTime::Invalid(), instant));
    EXPECT_EQ(instant, 42);
}

TEST(LocalDateTime, InstantsBeyondTheOleRangeGiveInvalidDateTimes) {
    // 10000-01-01 00:00:00 UTC: the local fields cannot be held as a date-time.
    EXPECT_FALSE(InstantToLocalDateTime(253402300800).IsValid());
    EXPECT_TRUE(InstantToLocalDateTime(253402300799).IsValid());
    // 0099-12-31 23:59:59 UTC, and the first second of year 100.
    EXPECT_FALSE(InstantToLocalDateTime(-59011459200 - 1).IsValid());
    EXPECT_TRUE(InstantToLocalDateTime(-59011459200).IsValid());
}

TEST(LocalDateTime, FileTimeBefore1900GivesZero) {
    std::int64_t instant = -1;
    ASSERT_TRUE(FileTimeToInstant(0, instant));
    EXPECT_EQ(instant, 0);
    ASSERT_TRUE(FileTimeToInstant(
        static_cast<std::uint64_t>(platform::FileTimeFromInstant(1773479133)), instant));
    EXPECT_EQ(instant, 1773479133);
}

TEST(LocalDateTime, FileTimeFailsWhenTheLocalConversionFails) {
    test::FakeTimeZone zone;
    zone.failQueries = true;
    test::ScopedServices services({.timeZone = &zone});
    std::int64_t instant = 0;
    EXPECT_FALSE(FileTimeToInstant(133'000'000'000'000'000ull, instant));
    EXPECT_EQ(InstantToReportText(0, "%Y"), "");
    EXPECT_FALSE(InstantToLocalDateTime(0).IsValid());
}

class LocalTexts : public ::testing::Test {
  protected:
    test::FakeLocale locale;
    test::FakeClock clock;
    test::FakeTimeZone zone{60};
    test::ScopedServices services{{.clock = &clock, .timeZone = &zone, .locale = &locale}};
};

TEST_F(LocalTexts, UsesTheUsersDateAndTimeForms) {
    EXPECT_EQ(LocalDateTimeText(CLocalDateTime::FromFields(2026, 3, 14, 9, 5, 33)),
              "14.03.2026 09:05:33");
    EXPECT_EQ(LocalDateTimeText(CLocalDateTime::FromFields(2026, 3, 14, 0, 0, 0)), "14.03.2026");
    EXPECT_EQ(LocalDateTimeText(CLocalDateTime::FromFields(1899, 12, 30, 7, 0, 0)), "07:00:00");
    EXPECT_EQ(LocalDateTimeText(CLocalDateTime::Invalid()), "Invalid DateTime");
    EXPECT_EQ(LocalDateTimeText(CLocalDateTime()), "");
}

TEST_F(LocalTexts, CurrentTimeComesFromTheClockInTheLocalZone) {
    clock.SetInstant(1773479133);  // 2026-03-14 09:05:33 UTC
    EXPECT_EQ(CurrentInstant(), 1773479133);
    EXPECT_EQ(LocalDateTimeText(CurrentLocalDateTime()), "14.03.2026 10:05:33");
}

TEST_F(LocalTexts, ReportTextsUseLocalTime) {
    EXPECT_EQ(InstantToReportText(1773479133, "%Y.%m.%d"), "2026.03.14");
    EXPECT_EQ(InstantToReportText(1773479133, "%H:%M:%S"), "10:05:33");
    EXPECT_EQ(InstantToReportText(1773479133, ""), "");
    EXPECT_EQ(InstantToReportText(1773479133, std::string(200, 'x').c_str()), "");
}

}  // namespace
}  // namespace vzrm
