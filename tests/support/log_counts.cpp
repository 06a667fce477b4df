#include "support/log_counts.h"

#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/eventlog/log_location.h"

namespace vzrm::test {

using namespace vzrm::platform;

std::map<std::uint32_t, std::size_t> OurEventCounts(const std::string& path) {
    std::map<std::uint32_t, std::size_t> counts;
    if (posix::DetectLogFormat(path) == LogFormat::modern) {
        posix::FileModernEventLog log;
        EVT_HANDLE query = 0;
        EVT_HANDLE context = 0;
        if (log.Query(path, "*", EvtQueryFilePath, query) != 0 ||
            log.CreateRenderContext({"Event/System/EventID"}, EvtRenderContextValues, context) !=
                0) {
            return counts;
        }
        EVT_HANDLE events[100];
        std::uint32_t returned = 0;
        while (log.Next(query, events, kEvtInfinite, returned) == kErrorSuccess) {
            for (std::uint32_t i = 0; i < returned; ++i) {
                EVT_VARIANT id;
                std::uint32_t needed = 0;
                if (log.Render(context, events[i], EvtRenderEventValues, {&id, 1}, needed) == 0) {
                    ++counts[static_cast<std::uint32_t>(id.number & 0xFFFF)];
                }
                log.Close(events[i]);
            }
        }
        return counts;
    }
    posix::FileClassicEventLog log;
    EventLogHandle handle = 0;
    if (log.OpenBackup(path, handle) != 0) {
        return counts;
    }
    ForEachClassicRecord(
        log, handle, [&](const EVENTLOGRECORD& head, auto) { ++counts[head.EventID & 0xFFFF]; });
    log.Close(handle);
    return counts;
}

}  // namespace vzrm::test
