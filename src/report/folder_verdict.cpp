#include "report/folder_verdict.h"

#include <algorithm>

#include "formats/samba_ntacl.h"
#include "formats/security_descriptor.h"

namespace vzrm {
namespace {

// Where the descriptor starts in the bytes; false when there is none.
formats::FormatError FindDescriptor(const platform::FolderDescriptor& descriptor, bool& found,
                                    std::size_t& start) {
    found = descriptor.form != platform::DescriptorForm::none;
    start = 0;
    if (descriptor.form != platform::DescriptorForm::sambaNtacl) {
        return {};
    }
    formats::NtaclView ntacl;
    const formats::FormatError error = formats::ParseSambaNtacl(descriptor.bytes, ntacl);
    found = ntacl.hasDescriptor;
    start = ntacl.descriptorAt;
    return error;
}

}  // namespace

formats::FormatError VerdictOfDescriptor(const platform::FolderDescriptor& descriptor,
                                         FolderVerdict& verdict) {
    verdict = FolderVerdict::notAudited;
    bool found = false;
    std::size_t start = 0;
    if (formats::FormatError error = FindDescriptor(descriptor, found, start); error || !found) {
        return error;
    }
    formats::DescriptorView view;
    if (formats::FormatError error =
            formats::ParseSecurityDescriptor(descriptor.bytes, start, view)) {
        return error;
    }
    if (!view.saclPresent || view.saclNull) {
        return {};
    }
    const auto& aces = view.sacl.aces;
    if (std::any_of(aces.begin(), aces.end(), [](const formats::AceHeader& ace) {
            return formats::IsAuditAceType(ace.type);
        })) {
        verdict = FolderVerdict::audited;
    }
    return {};
}

}  // namespace vzrm
