#include "platform/services.h"

#include "platform/posix/posix_services.h"

namespace vzrm::platform {
namespace {

Services& Installed() {
    static Services services = posix::DefaultServices();
    return services;
}

}  // namespace

const Services& CurrentServices() {
    return Installed();
}

Services InstallServices(const Services& services) {
    const Services previous = Installed();
    const Services defaults = posix::DefaultServices();
    Installed().clock = services.clock ? services.clock : defaults.clock;
    Installed().timeZone = services.timeZone ? services.timeZone : defaults.timeZone;
    Installed().locale = services.locale ? services.locale : defaults.locale;
    Installed().registry = services.registry ? services.registry : defaults.registry;
    Installed().messageFiles =
        services.messageFiles ? services.messageFiles : defaults.messageFiles;
    Installed().applicationLog =
        services.applicationLog ? services.applicationLog : defaults.applicationLog;
    return previous;
}

const IClock& Clock() {
    return *Installed().clock;
}
const ITimeZone& TimeZone() {
    return *Installed().timeZone;
}
const ILocale& Locale() {
    return *Installed().locale;
}
IRegistry& Registry() {
    return *Installed().registry;
}
IMessageFiles& MessageFiles() {
    return *Installed().messageFiles;
}
IClassicEventLog& ClassicEventLog() {
    return *Installed().classicLog;
}
IModernEventLog& ModernEventLog() {
    return *Installed().modernLog;
}
IApplicationEventLog& ApplicationEventLog() {
    return *Installed().applicationLog;
}

}  // namespace vzrm::platform
