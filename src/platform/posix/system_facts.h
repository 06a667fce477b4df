// The machine's facts on Linux: /etc/os-release and uname
// for the system, /proc/cpuinfo, sysinfo, the user database.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_facts.h"

namespace vzrm::platform::posix {

// PRETTY_NAME of an os-release text, else NAME and VERSION; "Linux" without either.
std::string OsReleaseName(const std::string& osRelease);

// The first processor of a /proc/cpuinfo text; `machine` opens the identifier.
CPU_FACTS ParseCpuInfo(const std::string& cpuInfo, const std::string& machine);

}  // namespace vzrm::platform::posix
