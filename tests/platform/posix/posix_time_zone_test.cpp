#include "platform/posix/posix_time_zone.h"

#include <gtest/gtest.h>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "support/fake_services.h"

#include <cerrno>

namespace vzrm::platform::posix {
namespace {

TEST(PosixTimeZone, ConvertsBeyond2038And1901) {
    test::ScopedEnv tz("TZ", "UTC");
    const PosixTimeZone zone;
    CalendarFields f;
    ASSERT_TRUE(zone.ToLocal(4102444800, f));  // 2100-01-01
    EXPECT_TRUE(f.SameDateTime({2100, 1, 1, 0, 0, 0}));
    EXPECT_EQ(f.dayOfWeek, 5);  // a Friday
    std::int64_t instant = 0;
    ASSERT_TRUE(zone.FromLocal({1850, 6, 1, 12, 0, 0}, instant));
    EXPECT_EQ(instant, -3773736000);
}

TEST(PosixTimeZone, NormalisesOutOfRangeFieldsLikeMktime) {
    test::ScopedEnv tz("TZ", "UTC");
    const PosixTimeZone zone;
    std::int64_t instant = 0;
    ASSERT_TRUE(zone.FromLocal({2026, 1, 32, 0, 0, 0}, instant));
    CalendarFields f;
    ASSERT_TRUE(zone.ToLocal(instant, f));
    EXPECT_TRUE(f.SameDateTime({2026, 2, 1, 0, 0, 0}));
}

TEST(PosixTimeZone, InstantOneSecondBeforeTheEpochIsNotAFailure) {
    test::ScopedEnv tz("TZ", "UTC");
    const PosixTimeZone zone;
    std::int64_t instant = 0;
    ASSERT_TRUE(zone.FromLocal({1969, 12, 31, 23, 59, 59}, instant));
    EXPECT_EQ(instant, -1);
}

TEST(PosixTimeZone, ASecondConvertedAgainFollowsAChangedZone) {
    const PosixTimeZone zone;
    const std::int64_t instant = 1780000000;  // 2026-05-28 20:26:40 UTC
    CalendarFields f;
    {
        test::ScopedEnv tz("TZ", "UTC");
        ASSERT_TRUE(zone.ToLocal(instant, f));
        EXPECT_TRUE(f.SameDateTime({2026, 5, 28, 20, 26, 40}));
        ASSERT_TRUE(zone.ToLocal(instant, f));
        EXPECT_TRUE(f.SameDateTime({2026, 5, 28, 20, 26, 40}));
    }
    test::ScopedEnv tz("TZ", "JST-9");
    ASSERT_TRUE(zone.ToLocal(instant, f));
    EXPECT_TRUE(f.SameDateTime({2026, 5, 29, 5, 26, 40}));
    EXPECT_EQ(f.dayOfWeek, 5);  // a Friday
}

}  // namespace
}  // namespace vzrm::platform::posix
