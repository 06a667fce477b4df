#include "platform/posix/posix_services.h"

#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_locale.h"
#include "platform/posix/posix_time_zone.h"

namespace vzrm::platform::posix {

Services DefaultServices() {
    static const PosixClock clock;
    static const PosixTimeZone timeZone;
    static const PosixLocale locale;
    return Services{&clock, &timeZone, &locale};
}

}  // namespace vzrm::platform::posix
