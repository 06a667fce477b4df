// A frame's placement in the application profile: seven integers in the
// frame's section under the application's key of the current user.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dock_placement.h"

namespace vzrm::ui {

struct STORED_PLACEMENT {
    std::int32_t dock = 0;
    std::int32_t toFrame = 0;
    DOCK_RECT stored;  // in stored form (ToStoredRect)
    bool maximized = false;
};

// `appKey` is the application's key below HKCU ("Software\Company\Product"),
// `section` the frame's ("ListWnd\Main"). False when the profile cannot be
// written; the error is in g_errorInfo.
bool SavePlacement(const std::string& appKey, const std::string& section,
                   const STORED_PLACEMENT& placement);
// Missing values take the defaults: no dock, the default rectangle, not maximized.
STORED_PLACEMENT LoadPlacement(const std::string& appKey, const std::string& section,
                               const DOCK_RECT& defaultRect);

}  // namespace vzrm::ui
