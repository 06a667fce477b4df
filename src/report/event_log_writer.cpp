#include "report/event_log_writer.h"

#include "base/error_info.h"
#include "platform/services.h"

namespace vzrm {

void CEventLogWriter::Open(const std::string& source) {
    if (source_.empty()) {
        source_ = source;
    }
}

void CEventLogWriter::Report(std::uint32_t eventId, const std::vector<std::string>& strings) {
    if (source_.empty()) {
        return;
    }
    static constexpr std::uint16_t kTypes[] = {
        platform::EVENTLOG_SUCCESS, platform::EVENTLOG_INFORMATION_TYPE,
        platform::EVENTLOG_WARNING_TYPE, platform::EVENTLOG_ERROR_TYPE};
    platform::ApplicationEventLog().Write(source_, kTypes[eventId >> 30], eventId, strings);
}

void CEventLogWriter::ReportErrorRecord(const std::string& productText) {
    Report(kErrorRecordEventId, {productText + "\r\n" + g_errorInfo.Render()});
}

}  // namespace vzrm
