#include "platform/services.h"

#include <cstdio>
#include <cstdlib>

namespace vzrm::platform {
namespace {

Services& Defaults() {
    static Services services;
    return services;
}

Services& Installed() {
    static Services services;
    return services;
}

// A service asked for before the start-up set the defaults is a fault of
// the program's own start-up, never of its input.
template <typename T>
T& InForce(T* service) {
    if (service == nullptr) {
        std::fputs("vzrm: a platform service was used before the start-up set it\n", stderr);
        std::abort();
    }
    return *service;
}

template <typename T>
T* OrDefault(T* service, T* fallback) {
    return service != nullptr ? service : fallback;
}

}  // namespace

const Services& CurrentServices() {
    return Installed();
}

void SetDefaultServices(const Services& defaults) {
    Defaults() = defaults;
    Installed() = defaults;
}

Services InstallServices(const Services& services) {
    const Services previous = Installed();
    const Services& defaults = Defaults();
    Installed() = {
        .clock = OrDefault(services.clock, defaults.clock),
        .timeZone = OrDefault(services.timeZone, defaults.timeZone),
        .locale = OrDefault(services.locale, defaults.locale),
        .registry = OrDefault(services.registry, defaults.registry),
        .messageFiles = OrDefault(services.messageFiles, defaults.messageFiles),
        .classicLog = OrDefault(services.classicLog, defaults.classicLog),
        .modernLog = OrDefault(services.modernLog, defaults.modernLog),
        .applicationLog = OrDefault(services.applicationLog, defaults.applicationLog),
        .sealKeys = OrDefault(services.sealKeys, defaults.sealKeys),
    };
    return previous;
}

const IClock& Clock() {
    return InForce(Installed().clock);
}
const ITimeZone& TimeZone() {
    return InForce(Installed().timeZone);
}
const ILocale& Locale() {
    return InForce(Installed().locale);
}
IRegistry& Registry() {
    return InForce(Installed().registry);
}
IMessageFiles& MessageFiles() {
    return InForce(Installed().messageFiles);
}
IClassicEventLog& ClassicEventLog() {
    return InForce(Installed().classicLog);
}
IModernEventLog& ModernEventLog() {
    return InForce(Installed().modernLog);
}
IApplicationEventLog& ApplicationEventLog() {
    return InForce(Installed().applicationLog);
}
ISealKeys& SealKeys() {
    return InForce(Installed().sealKeys);
}

}  // namespace vzrm::platform
