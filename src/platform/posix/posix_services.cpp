#include "platform/posix/posix_services.h"

#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/message_files.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_locale.h"
#include "platform/posix/posix_time_zone.h"
#include "platform/posix/seal_key_files.h"
#include "platform/posix/sqlite_registry.h"
#include "platform/posix/syslog_application_log.h"

namespace vzrm::platform::posix {

Services DefaultServices() {
    static const PosixClock clock;
    static const PosixTimeZone timeZone;
    static const PosixLocale locale;
    static SqliteRegistry registry;  // where the environment says, read at first use
    static FileMessageFiles messageFiles;
    static FileClassicEventLog classicLog;
    static FileModernEventLog modernLog;
    static SyslogApplicationLog applicationLog;
    static FileSealKeys sealKeys;  // beside the store's hives, as the environment says at each use
    return Services{&clock,      &timeZone,  &locale,         &registry, &messageFiles,
                    &classicLog, &modernLog, &applicationLog, &sealKeys};
}

}  // namespace vzrm::platform::posix
