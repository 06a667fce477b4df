#include "support/log_files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "tools/loggen/evt_writer.h"
#include "tools/loggen/evtx_writer.h"

namespace vzrm::test {

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

}  // namespace vzrm::test
