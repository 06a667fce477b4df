// Installing services: every member is taken, and a null member takes the default.
#include "platform/services.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace vzrm::platform {
namespace {

// Only identity matters here: no member is called.
template <typename Interface>
Interface* Marker(int n) {
    return reinterpret_cast<Interface*>(static_cast<std::uintptr_t>(0x1000 * n));
}

TEST(Services, InstallTakesEveryMemberAndRestoresThePreviousSet) {
    // Defaults of its own, whatever the test program started with.
    const Services started = CurrentServices();
    SetDefaultServices({
        .clock = Marker<const IClock>(11),
        .timeZone = Marker<const ITimeZone>(12),
        .locale = Marker<const ILocale>(13),
        .registry = Marker<IRegistry>(14),
        .messageFiles = Marker<IMessageFiles>(15),
        .classicLog = Marker<IClassicEventLog>(16),
        .modernLog = Marker<IModernEventLog>(17),
        .applicationLog = Marker<IApplicationEventLog>(18),
    });
    const Services defaults = CurrentServices();
    const Services fakes{
        .clock = Marker<const IClock>(1),
        .timeZone = Marker<const ITimeZone>(2),
        .locale = Marker<const ILocale>(3),
        .registry = Marker<IRegistry>(4),
        .messageFiles = Marker<IMessageFiles>(5),
        .classicLog = Marker<IClassicEventLog>(6),
        .modernLog = Marker<IModernEventLog>(7),
        .applicationLog = Marker<IApplicationEventLog>(8),
        .sealKeys = Marker<ISealKeys>(9),
    };
    const Services previous = InstallServices(fakes);
    const Services& now = CurrentServices();
    EXPECT_EQ(now.clock, fakes.clock);
    EXPECT_EQ(now.timeZone, fakes.timeZone);
    EXPECT_EQ(now.locale, fakes.locale);
    EXPECT_EQ(now.registry, fakes.registry);
    EXPECT_EQ(now.messageFiles, fakes.messageFiles);
    EXPECT_EQ(now.classicLog, fakes.classicLog);
    EXPECT_EQ(now.modernLog, fakes.modernLog);
    EXPECT_EQ(now.applicationLog, fakes.applicationLog);
    EXPECT_EQ(now.sealKeys, fakes.sealKeys);

    // Null members take the defaults, not what was in force.
    InstallServices({.modernLog = fakes.modernLog});
    EXPECT_EQ(CurrentServices().clock, defaults.clock);
    EXPECT_EQ(CurrentServices().classicLog, defaults.classicLog);
    EXPECT_EQ(CurrentServices().modernLog, fakes.modernLog);

    InstallServices(previous);
    EXPECT_EQ(CurrentServices().modernLog, defaults.modernLog);
    EXPECT_EQ(CurrentServices().applicationLog, defaults.applicationLog);
    EXPECT_NE(defaults.modernLog, nullptr);
    SetDefaultServices(started);
}

}  // namespace
}  // namespace vzrm::platform
