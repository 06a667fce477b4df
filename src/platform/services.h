// The operating-system services the logic uses. The program's start-up (and
// the tests' main) sets the system's implementations as the defaults; tests
// install fakes over them with ScopedServices (tests/support).
#pragma once

#include "platform/application_log.h"
#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/locale.h"
#include "platform/message_files.h"
#include "platform/registry.h"
#include "platform/seal.h"
#include "platform/time_zone.h"

namespace vzrm::platform {

struct Services {
    const IClock* clock = nullptr;
    const ITimeZone* timeZone = nullptr;
    const ILocale* locale = nullptr;
    IRegistry* registry = nullptr;
    IMessageFiles* messageFiles = nullptr;
    IClassicEventLog* classicLog = nullptr;
    IModernEventLog* modernLog = nullptr;
    IApplicationEventLog* applicationLog = nullptr;
    ISealKeys* sealKeys = nullptr;
};

// The services in force: the defaults unless others were installed.
const Services& CurrentServices();
// Sets the system's implementations, once at start-up, and puts them in force.
void SetDefaultServices(const Services& defaults);
// Replaces the services in force; members left null take the defaults.
// Returns the previous set so that it can be restored.
Services InstallServices(const Services& services);

const IClock& Clock();
const ITimeZone& TimeZone();
const ILocale& Locale();
IRegistry& Registry();
IMessageFiles& MessageFiles();
IClassicEventLog& ClassicEventLog();
IModernEventLog& ModernEventLog();
IApplicationEventLog& ApplicationEventLog();
ISealKeys& SealKeys();

}  // namespace vzrm::platform
