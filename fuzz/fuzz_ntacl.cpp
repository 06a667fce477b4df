// Any bytes as Samba's security.NTACL, read to the verdict as the scan does.
#include <cstddef>
#include <cstdint>

#include "report/folder_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vzrm::platform::FolderDescriptor descriptor{vzrm::platform::DescriptorForm::sambaNtacl,
                                                      {data, data + size}};
    vzrm::FolderVerdict verdict;
    vzrm::VerdictOfDescriptor(descriptor, verdict);
    return 0;
}
