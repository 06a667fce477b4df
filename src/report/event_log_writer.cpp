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
    if (echo_ != nullptr) {
        *echo_ << "vzrmaud: " << ErrorRecordLine(g_errorInfo) << std::endl;
    }
}

std::string ErrorRecordLine(const CErrorInfo& error) {
    std::string text = error.GetText();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    for (std::size_t at = 0; (at = text.find_first_of("\r\n", at)) != std::string::npos;) {
        text.replace(at, text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1,
                     " ");
    }
    const std::string ext = error.GetExt();
    const std::size_t strg = ext.find("STRG: [");
    if (strg != std::string::npos) {
        const std::size_t end = ext.find(']', strg + 7);
        if (end != std::string::npos) {
            const std::string path = ext.substr(strg + 7, end - strg - 7);
            if (text.find(path) == std::string::npos) {
                text += ": " + path;
            }
        }
    }
    return text.empty() ? "the run failed" : text;
}

}  // namespace vzrm
