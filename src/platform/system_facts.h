// Facts about this machine and its user for the error report's description
// lines: the system's name and release, the processor, memory, the account.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm::platform {

struct OS_FACTS {
    std::string name;     // "Debian GNU/Linux 12 (bookworm)"
    std::string machine;  // "x86_64"
    std::string release;  // the kernel's release
};

struct CPU_FACTS {
    std::string vendor;
    std::string identifier;  // "x86_64 Family 6 Model 85 Stepping 7"
    std::string name;
    std::uint32_t mhz = 0;
};

// Byte counts.
struct MEMORY_FACTS {
    std::uint64_t totalPhysical = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t availableExtendedVirtual = 0;
};

// Empty facts where the system would not tell.
OS_FACTS ThisOperatingSystem();
CPU_FACTS ThisProcessor();
MEMORY_FACTS ThisMemory();

struct USER_NAME_QUERY {
    std::string name;
    std::int32_t error = 0;        // 0, or a Windows code (1332: no such account)
    std::uint32_t attempt = 0;     // the attempt that failed
    std::uint32_t bufferSize = 0;  // the buffer it had
};
// The effective user's account name.
USER_NAME_QUERY CurrentUserName();
// Root, or a member of the sudo group.
bool IsUserAdministrator();

}  // namespace vzrm::platform
