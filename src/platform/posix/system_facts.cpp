#include "platform/posix/system_facts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/posix/errno_map.h"

namespace vzrm::platform {
namespace posix {
namespace {

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

std::string ReadWhole(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string OsReleaseName(const std::string& osRelease) {
    std::istringstream lines(osRelease);
    std::string pretty, name, version;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Unquote(Trim(line.substr(equals + 1)));
        if (key == "PRETTY_NAME") {
            pretty = value;
        } else if (key == "NAME") {
            name = value;
        } else if (key == "VERSION") {
            version = value;
        }
    }
    if (!pretty.empty()) {
        return pretty;
    }
    if (!name.empty()) {
        return version.empty() ? name : name + " " + version;
    }
    return "Linux";
}

CPU_FACTS ParseCpuInfo(const std::string& cpuInfo, const std::string& machine) {
    CPU_FACTS cpu;
    std::string family, model, stepping;
    std::istringstream lines(cpuInfo);
    for (std::string line; std::getline(lines, line);) {
        if (Trim(line).empty() && !cpu.vendor.empty()) {
            break;  // the end of the first processor
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string key = Trim(line.substr(0, colon));
        const std::string value = Trim(line.substr(colon + 1));
        if (key == "vendor_id" || key == "CPU implementer") {
            cpu.vendor = value;
        } else if (key == "model name") {
            cpu.name = value;
        } else if (key == "cpu family" || key == "CPU architecture") {
            family = value;
        } else if (key == "model" || key == "CPU part") {
            model = value;
        } else if (key == "stepping" || key == "CPU revision") {
            stepping = value;
        } else if (key == "cpu MHz") {
            cpu.mhz = static_cast<std::uint32_t>(std::strtod(value.c_str(), nullptr));
        }
    }
    if (!family.empty()) {
        cpu.identifier = (machine.empty() ? "" : machine + " ") + "Family " + family + " Model " +
                         model + " Stepping " + stepping;
    }
    return cpu;
}

}  // namespace posix

OS_FACTS ThisOperatingSystem() {
    utsname system{};
    if (uname(&system) != 0) {
        return {};
    }
    return {posix::OsReleaseName(posix::ReadWhole("/etc/os-release")), system.machine,
            system.release};
}

CPU_FACTS ThisProcessor() {
    utsname system{};
    const std::string machine = uname(&system) == 0 ? system.machine : "";
    return posix::ParseCpuInfo(posix::ReadWhole("/proc/cpuinfo"), machine);
}

MEMORY_FACTS ThisMemory() {
    MEMORY_FACTS memory;
    struct sysinfo info {};
    if (sysinfo(&info) == 0) {
        memory.totalPhysical = std::uint64_t{info.totalram} * info.mem_unit;
        memory.totalPageFile = std::uint64_t{info.totalswap} * info.mem_unit;
    }
    // The address space the process may use: its limit, else the user half.
    rlimit limit{};
    memory.totalVirtual = getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                              ? limit.rlim_cur
                              : (sizeof(void*) == 8 ? 1ull << 47 : 3ull << 30);
    return memory;
}

USER_NAME_QUERY CurrentUserName() {
    USER_NAME_QUERY query;
    std::vector<char> buffer(257);
    for (std::uint32_t attempt = 1; attempt <= 2; ++attempt) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == 0 && found != nullptr) {
            query.name = found->pw_name;
            return query;
        }
        if (error == ERANGE && attempt == 1) {
            buffer.resize(16384);
            continue;
        }
        query.error = error == 0 ? 1332 : posix::WindowsErrorFromErrno(error);  // no such account
        query.attempt = attempt;
        query.bufferSize = static_cast<std::uint32_t>(buffer.size());
        return query;
    }
    return query;
}
bool IsUserAdministrator() {
    if (geteuid() == 0) {
        return true;
    }
    const group* sudo = getgrnam("sudo");
    if (sudo == nullptr) {
        return false;
    }
    const gid_t sudoGroup = sudo->gr_gid;
    const int count = getgroups(0, nullptr);
    if (count < 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count) + 1);
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == sudoGroup) {
            return true;
        }
    }
    return getegid() == sudoGroup;
}

}  // namespace vzrm::platform
