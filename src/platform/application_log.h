// The system's application log, where an unattended program leaves what it
// would otherwise show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm::platform {

inline constexpr std::uint16_t EVENTLOG_SUCCESS = 0;
inline constexpr std::uint16_t EVENTLOG_ERROR_TYPE = 1;
inline constexpr std::uint16_t EVENTLOG_WARNING_TYPE = 2;
inline constexpr std::uint16_t EVENTLOG_INFORMATION_TYPE = 4;

class IApplicationEventLog {
  public:
    virtual ~IApplicationEventLog() = default;
    // One event of `source`; false when it could not be written.
    virtual bool Write(const std::string& source, std::uint16_t type, std::uint32_t eventId,
                       const std::vector<std::string>& strings) = 0;
};

}  // namespace vzrm::platform
