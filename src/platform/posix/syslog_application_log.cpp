#include "platform/posix/syslog_application_log.h"
#include "platform/posix/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace vzrm::platform::posix {
namespace {

const char* TypeWord(std::uint16_t type) {
    switch (type) {
        case EVENTLOG_ERROR_TYPE:
            return "error";
        case EVENTLOG_WARNING_TYPE:
            return "warning";
        case EVENTLOG_INFORMATION_TYPE:
            return "information";
        default:
            return "success";
    }
}

int Priority(std::uint16_t type) {
    switch (type) {
        case EVENTLOG_ERROR_TYPE:
            return LOG_ERR;
        case EVENTLOG_WARNING_TYPE:
            return LOG_WARNING;
        case EVENTLOG_INFORMATION_TYPE:
            return LOG_INFO;
        default:
            return LOG_NOTICE;
    }
}

}  // namespace

std::string ApplicationEventText(const std::string& source, std::uint16_t type,
                                 std::uint32_t eventId, const std::vector<std::string>& strings) {
    char head[96];
    std::snprintf(head, sizeof head, " %s 0x%08X\n", TypeWord(type), eventId);
    std::string text = source + head;
    for (const std::string& s : strings) {
        text += s + "\n";
    }
    return text;
}

bool SyslogApplicationLog::Write(const std::string& source, std::uint16_t type,
                                 std::uint32_t eventId, const std::vector<std::string>& strings) {
    const std::string text = ApplicationEventText(source, type, eventId, strings);
    if (const char* path = std::getenv("VZRM_APPLICATION_LOG"); path && *path) {
        struct stat info {};
        std::int32_t error = 0;
        const int fd = OpenPlainFile(path, O_WRONLY | O_CREAT | O_APPEND, error, info);
        if (fd < 0) {
            return false;
        }
        // One write per event, so that events of two processes never interleave.
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        return ::close(fd) == 0 && written;
    }
    // The journal names the program, as the unit's own lines do; the text
    // keeps the event's source.
    openlog("vzrmaud", LOG_PID, LOG_USER);
    syslog(Priority(type), "%s", text.c_str());
    closelog();
    return true;
}

}  // namespace vzrm::platform::posix
