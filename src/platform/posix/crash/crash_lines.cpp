#include "platform/posix/crash/crash_lines.h"

#include <cstring>
#include <ctime>

namespace vzrm {

const char* FormatTickTime(std::uint64_t milliseconds, char* buffer, std::size_t latestStart) {
    static const char kTemplate[] = "0000:60:60.000";
    std::memcpy(buffer, kTemplate, sizeof kTemplate);
    std::size_t first = sizeof kTemplate - 2;
    for (std::size_t i = sizeof kTemplate - 1; i-- > 0;) {
        if (buffer[i] == '0') {
            buffer[i] = static_cast<char>('0' + milliseconds % 10);
            milliseconds /= 10;
        } else if (buffer[i] == '6') {
            buffer[i] = static_cast<char>('0' + milliseconds % 6);
            milliseconds /= 6;
        } else {
            continue;
        }
        if (buffer[i] != '0') {
            first = i;
        }
    }
    return buffer + (first < latestStart ? first : latestStart);
}

std::uint64_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

void CExceptionExtInfo::AddLine(std::uint32_t level, const std::string& text) {
    if ((level & 1) == 0) {
        char stamp[16];
        FormatTickTime(Milliseconds(), stamp, 14);
        text_ += std::string(stamp + 2) + " ";  // HH:MM:SS.mmm, hours modulo 100
    }
    text_ += text + "\r\n";
}

std::uint64_t CExceptionExtInfo::Milliseconds() const {
    return TickCount();
}

void AddReportLine(CExceptionExtInfo* receiver, std::uint32_t level, std::string text) {
    if (receiver == nullptr) {
        return;
    }
    if (text.size() > 3999) {
        text.resize(3999);
    }
    receiver->AddLine(level, text);
}

}  // namespace vzrm
