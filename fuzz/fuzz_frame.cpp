#include <cstdlib>

#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!vzrm::fuzz::ReadFramedValue({data, size})) {
        std::abort();
    }
    return 0;
}
