// The machine description's lines from Linux facts: /etc/os-release and uname
// for the system, /proc/cpuinfo, sysinfo, the user database.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/system_description.h"

namespace vzrm {

class CErrorInfo;

namespace platform::posix {

// PRETTY_NAME of an os-release text, else NAME and VERSION; "Linux" without either.
std::string OsReleaseName(const std::string& osRelease);

struct CPU_FACTS {
    std::string vendor;
    std::string identifier;  // "x86_64 Family 6 Model 85 Stepping 7"
    std::string name;
    std::uint32_t mhz = 0;
};
// The first processor of a /proc/cpuinfo text; `machine` opens the identifier.
CPU_FACTS ParseCpuInfo(const std::string& cpuInfo, const std::string& machine);

}  // namespace platform::posix

// "Debian GNU/Linux 12 (bookworm), 64-bit, 6.1.0-18-amd64": system name,
// bitness and kernel release in the places of the Windows line.
std::string DescribeThisOperatingSystem();
std::string DescribeThisProcessor();
std::string DescribeThisMemory();
// The effective user's name; on failure the error goes to `record` (or the
// process-wide one) and the result is false.
bool GetCurrentUserName(std::string& name, CErrorInfo* record = nullptr);
// Root, or a member of the sudo group.
bool IsUserAdministrator();

}  // namespace vzrm
