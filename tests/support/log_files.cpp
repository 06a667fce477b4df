#include "support/log_files.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/eventlog/log_location.h"
#include "tools/loggen/evt_writer.h"
#include "tools/loggen/evtx_writer.h"

namespace vzrm::test {

using namespace vzrm::platform;

void WriteEvtx(const std::string& path, const std::string& scenario) {
    std::istringstream in(scenario);
    loggen::ScenarioReader reader(in);
    loggen::EvtxWriter writer(path);
    while (auto event = reader.Next()) {
        writer.Add(*event);
    }
    writer.Finish();
}

void WriteEvt(const std::string& path, const std::string& scenario, std::uint32_t maxSize) {
    std::istringstream in(scenario);
    loggen::ScenarioReader reader(in);
    loggen::EvtWriter writer(path, maxSize);
    while (auto event = reader.Next()) {
        writer.Add(*event);
    }
    writer.Finish();
}

std::string SamplesDir() {
    const char* overridden = std::getenv("VZRM_SAMPLES_DIR");
    const std::filesystem::path dir = overridden && *overridden ? overridden : VZRM_SAMPLES_DIR;
    return std::filesystem::is_directory(dir) ? dir.string() : std::string();
}

std::vector<std::string> SampleFiles(const std::string& extension) {
    std::vector<std::string> files;
    if (SamplesDir().empty()) {
        return files;
    }
    for (const auto& entry : std::filesystem::directory_iterator(SamplesDir())) {
        if (entry.path().extension() == extension) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

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
