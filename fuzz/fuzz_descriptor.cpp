// Any bytes as a self-relative security descriptor, from each start offset
// up to 8, as both NTFS drivers and Samba's blobs place it.
#include <cstddef>
#include <cstdint>

#include "formats/security_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vzrm::formats::Bytes bytes(data, size);
    for (std::size_t start = 0; start <= 8; start += 4) {
        vzrm::formats::DescriptorView view;
        vzrm::formats::ParseSecurityDescriptor(bytes, start, view);
    }
    return 0;
}
