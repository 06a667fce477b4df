// The system's Application event log as the program writes to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm {

inline constexpr std::uint32_t kErrorRecordEventId = 0xC0000002;
// A warning: the Security log file is damaged (what was read is reported).
inline constexpr std::uint32_t kLogDamageEventId = 0x80000004;

class IApplicationLog {
  public:
    virtual ~IApplicationLog() = default;
    // One event; its type comes from the two top bits of the identifier.
    virtual void Report(std::uint32_t eventId, const std::vector<std::string>& strings) = 0;
};

}  // namespace vzrm
