#include "platform/posix/time_zone_check.h"

#include <sys/stat.h>

#include <cstdlib>
#include <regex>

namespace vzrm::platform::posix {
namespace {

bool IsZoneFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool TimeZoneIsKnown(std::string& problem) {
    const char* tz = std::getenv("TZ");
    if (tz == nullptr || *tz == '\0') {
        return true;
    }
    const std::string name = *tz == ':' ? tz + 1 : tz;
    const char* tzdir = std::getenv("TZDIR");
    const std::string folder = tzdir != nullptr && *tzdir != '\0' ? tzdir : "/usr/share/zoneinfo";
    if (name.find("..") == std::string::npos &&
        IsZoneFile(name.rfind('/', 0) == 0 ? name : folder + "/" + name)) {
        return true;
    }
    // A rule: a name of three letters or more (or <...>) and an offset.
    static const std::regex rule(
        R"(^([A-Za-z]{3,}|<[A-Za-z0-9+-]{3,}>)[+-]?\d{1,2}(:\d\d){0,2}.*)");
    if (*tz != ':' && std::regex_match(name, rule)) {
        return true;
    }
    problem = "The time zone TZ=" + std::string(tz) +
              " is not known on this system (no zone file " + folder + "/" + name +
              " and no zone rule): its dates would be taken as UTC. Set TZ to a zone name such "
              "as Europe/Berlin, or unset it to use the system's zone.";
    return false;
}

}  // namespace vzrm::platform::posix
