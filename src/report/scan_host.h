// What the folder scan needs of the window it runs in. The main view provides
// it; the command-line form has a host of its own without a window.
#pragma once

#include <cstdint>
#include <string>

#include "report/view_host.h"

namespace vzrm {

class IScanHost : public IViewHost {
  public:
    virtual void WriteFolderField(const std::string& folder) = 0;
    virtual void ShowWaitCursor(bool wait) = 0;
    // Busy: the scan-busy flag set, the view and all its controls disabled,
    // closing ignored. Not busy: all of it undone.
    virtual void SetScanBusy(bool busy) = 0;
    // Milliseconds of a monotonic clock; wraps around.
    virtual std::uint32_t TickCount() = 0;
    // Handles the window messages that are waiting, so the window repaints.
    virtual void PumpMessages() = 0;
    // How far the walk is, shown before each pump: folders looked at so far
    // and the folder being read.
    virtual void ShowProgress(std::uint32_t folders, const std::string& folder) = 0;
    // The program is to end (SIGTERM): the walk stops before its next folder.
    virtual bool StopRequested() { return false; }
};

}  // namespace vzrm
