#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vzrm::fuzz::ReadSealedFolder({data, size});
    return 0;
}
