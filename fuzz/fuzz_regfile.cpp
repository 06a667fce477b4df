// Any bytes as a .reg file: parsed into changes (nothing is applied).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<vzrm::REG_FILE_CHANGE> changes;
    std::string error;
    vzrm::ParseRegFile(std::vector<std::uint8_t>(data, data + size), changes, error);
    return 0;
}
