// Dates and times in real zones: the Linux time zone (the zone database and
// TZ) under the base floor's date-time conversions.
#include <gtest/gtest.h>

#include "base/local_date_time.h"
#include "base/time_texts.h"
#include "support/fake_services.h"

namespace vzrm {
namespace {

using platform::CalendarFields;
using test::ScopedEnv;

CalendarFields FieldsOf(const CLocalDateTime& dt) {
    CalendarFields f;
    EXPECT_TRUE(dt.GetFields(f));
    return f;
}

TEST(LocalDateTime, InstantZeroInBerlinIsOneInTheMorning) {
    ScopedEnv tz("TZ", "Europe/Berlin");
    EXPECT_TRUE(FieldsOf(InstantToLocalDateTime(0)).SameDateTime({1970, 1, 1, 1, 0, 0}));
}

struct DstCase {
    const char* zone;
    CalendarFields gapLocal;        // a local time skipped by the spring change
    std::int64_t gapCandidates[2];  // the instants either offset would give
    CalendarFields repeatedLocal;   // a local time the autumn change shows twice
    std::int64_t repeatedInstants[2];
};

class DaylightSaving : public ::testing::TestWithParam<DstCase> {};

TEST_P(DaylightSaving, SkippedLocalTimeConvertsToAnInstant) {
    const DstCase& c = GetParam();
    ScopedEnv tz("TZ", c.zone);
    std::int64_t instant = 0;
    ASSERT_TRUE(LocalDateTimeToInstant(CLocalDateTime::FromFields(c.gapLocal), instant));
    EXPECT_TRUE(instant == c.gapCandidates[0] || instant == c.gapCandidates[1]) << instant;
}

TEST_P(DaylightSaving, RepeatedHourShowsTheSameLocalTimeTwice) {
    const DstCase& c = GetParam();
    ScopedEnv tz("TZ", c.zone);
    for (std::int64_t instant : c.repeatedInstants) {
        const CLocalDateTime local = InstantToLocalDateTime(instant);
        ASSERT_TRUE(local.IsValid());
        EXPECT_TRUE(FieldsOf(local).SameDateTime(c.repeatedLocal));
    }
    std::int64_t back = 0;
    ASSERT_TRUE(LocalDateTimeToInstant(CLocalDateTime::FromFields(c.repeatedLocal), back));
    EXPECT_TRUE(back == c.repeatedInstants[0] || back == c.repeatedInstants[1]) << back;
}

// A period that starts in the repeated hour starts at its first pass, so none
// of that hour's events is lost; elsewhere nothing changes.
TEST_P(DaylightSaving, AnAmbiguousStartTakesTheEarlierInstant) {
    const DstCase& c = GetParam();
    ScopedEnv tz("TZ", c.zone);
    std::int64_t instant = 0;
    ASSERT_TRUE(
        LocalDateTimeToEarliestInstant(CLocalDateTime::FromFields(c.repeatedLocal), instant));
    EXPECT_EQ(instant, std::min(c.repeatedInstants[0], c.repeatedInstants[1]));
    std::int64_t plain = 0;
    for (const CalendarFields& fields : {c.gapLocal, CalendarFields{2026, 7, 1, 12, 0, 0}}) {
        ASSERT_TRUE(LocalDateTimeToInstant(CLocalDateTime::FromFields(fields), plain));
        ASSERT_TRUE(LocalDateTimeToEarliestInstant(CLocalDateTime::FromFields(fields), instant));
        EXPECT_EQ(instant, plain);
    }
}

TEST_P(DaylightSaving, FileTimesInTheRepeatedHourKeepTheirInstants) {
    const DstCase& c = GetParam();
    ScopedEnv tz("TZ", c.zone);
    for (std::int64_t expected : c.repeatedInstants) {
        std::int64_t instant = 0;
        ASSERT_TRUE(FileTimeToInstant(
            static_cast<std::uint64_t>(platform::FileTimeFromInstant(expected)) + 9'999'999,
            instant));
        EXPECT_EQ(instant, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealZones, DaylightSaving,
    ::testing::Values(
        // 2026-03-29 02:30 does not exist in Berlin; 2026-10-25 02:30 exists twice.
        DstCase{"Europe/Berlin",
                {2026, 3, 29, 2, 30, 0},
                {1774747800, 1774744200},
                {2026, 10, 25, 2, 30, 0},
                {1792888200, 1792891800}},
        // 2026-03-08 02:30 does not exist in New York; 2026-11-01 01:30 exists twice.
        DstCase{"America/New_York",
                {2026, 3, 8, 2, 30, 0},
                {1772951400, 1772955000},
                {2026, 11, 1, 1, 30, 0},
                {1793511000, 1793514600}}),
    [](const auto& info) { return info.index == 0 ? "Berlin" : "NewYork"; });

TEST(LocalDateTime, FileTimesNear1900GoByTheLocalYear) {
    // 1900-01-01 03:00 UTC is still 1899 in New York, 1900 in UTC; from a
    // week on it is 1900 everywhere, as is every time up to year 9999 (the
    // times taken without asking the zone among them).
    const std::int64_t early = -2208988800 + 3 * 3600;
    const std::int64_t weekLater = early + 7 * 86400;
    const std::int64_t tenDaysLater = early + 10 * 86400;
    const std::int64_t late = 253402300799 - 10 * 86400;  // 9999-12-21 23:59:59 UTC
    for (const char* zone : {"America/New_York", "UTC", "Asia/Tokyo"}) {
        ScopedEnv tz("TZ", zone);
        std::int64_t instant = -1;
        ASSERT_TRUE(FileTimeToInstant(
            static_cast<std::uint64_t>(platform::FileTimeFromInstant(early)), instant));
        EXPECT_EQ(instant, std::string(zone) == "America/New_York" ? 0 : early) << zone;
        for (const std::int64_t exact : {weekLater, tenDaysLater, late}) {
            ASSERT_TRUE(FileTimeToInstant(
                static_cast<std::uint64_t>(platform::FileTimeFromInstant(exact)), instant));
            EXPECT_EQ(instant, exact) << zone;
        }
    }
}

TEST(DescribeTimeZone, RealZonesReportTheirStandardOffset) {
    struct {
        const char* zone;
        int minutesEast;
    } const cases[] = {{"UTC", 0},
                       {"Europe/Berlin", 60},
                       {"Asia/Kolkata", 330},
                       {"America/St_Johns", -210},
                       {"Australia/Sydney", 600}};
    for (const auto& c : cases) {
        ScopedEnv tz("TZ", c.zone);
        EXPECT_EQ(TimeZoneBiasMinutes(), c.minutesEast) << c.zone;
    }
}

}  // namespace
}  // namespace vzrm
