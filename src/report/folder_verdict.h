// Whether a folder's descriptor makes Windows audit access below it.
#pragma once

#include "formats/le_bytes.h"
#include "platform/folders.h"

namespace vzrm {

enum class FolderVerdict {
    notAudited = 0,
    audited = 1,
    // Audited with everything below it; the walk lists it once and does not
    // enter it. No classifier of ours yields it (see docs/DESIGN-NOTES.md).
    auditedWithSubfolders = 2,
};

// No descriptor, no SACL or a null SACL: not audited. A SACL whose entries
// include a system-audit entry of any of the four kinds: audited. A damaged
// descriptor is an error with its Windows code and offset.
formats::FormatError VerdictOfDescriptor(const platform::FolderDescriptor& descriptor,
                                         FolderVerdict& verdict);

}  // namespace vzrm
