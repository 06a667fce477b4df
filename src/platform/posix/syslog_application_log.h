// The application log on Linux: syslog (journald collects it), or a plain
// file named by $VZRM_APPLICATION_LOG for tests and for sites without syslog.
#pragma once

#include "platform/application_log.h"

namespace vzrm::platform::posix {

class SyslogApplicationLog final : public IApplicationEventLog {
  public:
    bool Write(const std::string& source, std::uint16_t type, std::uint32_t eventId,
               const std::vector<std::string>& strings) override;
};

// The text of one event: "SOURCE TYPE 0xID" and the strings, one per line.
std::string ApplicationEventText(const std::string& source, std::uint16_t type,
                                 std::uint32_t eventId, const std::vector<std::string>& strings);

}  // namespace vzrm::platform::posix
