// The start-up of the floors below the Linux parts: their tests link no
// system implementation, so the defaults are the fakes (UTC, a fixed clock).
#include <gtest/gtest.h>

#include "support/fake_services.h"

int main(int argc, char** argv) {
    static vzrm::test::FakeClock clock;
    static vzrm::test::FakeTimeZone zone;
    static vzrm::test::FakeLocale locale;
    vzrm::platform::SetDefaultServices({.clock = &clock, .timeZone = &zone, .locale = &locale});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
