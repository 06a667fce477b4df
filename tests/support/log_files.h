// Test logs: scenarios written as EVTX or classic files through the project's
// writers, and the samples of real logs beside the repository.
#pragma once

#include <string>
#include <vector>

#include "tools/loggen/scenario.h"

namespace vzrm::test {

// Writes the JSON Lines scenario as a log at `path`.
void WriteEvtx(const std::string& path, const std::string& scenario);
void WriteEvt(const std::string& path, const std::string& scenario, std::uint32_t maxSize = 0);

// The folder of real sample logs ($VZRM_SAMPLES_DIR, else ../shared/samples
// beside the repository); empty when absent.
std::string SamplesDir();
std::vector<std::string> SampleFiles(const std::string& extension);

}  // namespace vzrm::test
