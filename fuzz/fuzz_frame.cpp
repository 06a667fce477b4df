// Any bytes as a framed option value; a value read must frame back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "settings/opt_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vzrm::COptItem item(vzrm::OPT_BIN, "x");
    if (vzrm::ReadFrame(std::span<const std::uint8_t>(data, size), item) == 0) {
        const std::vector<std::uint8_t> again = vzrm::FrameItem(item, data[5]);
        if (again != std::vector<std::uint8_t>(data, data + size)) {
            std::abort();
        }
    }
    return 0;
}
