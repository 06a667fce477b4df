// What a report run needs of the window it belongs to. The interactive view
// and the headless host of unattended runs both provide it.
#pragma once

#include <cstdint>
#include <string>

#include "base/message_box.h"
#include "report/run_messages.h"
#include "report/view_host.h"

namespace vzrm {

class IRunHost : public IViewHost {
  public:
    // Brings the window up; from then on the run counts as interactive.
    virtual void ShowView() = 0;
    virtual void ShowLastDate(const std::string& text) = 0;
    virtual void EnableRunControls(bool enable) = 0;
    virtual void ResetTitle() = 0;
    // Asks the frame to close (WM_CLOSE).
    virtual void CloseFrame() = 0;
    // The user or the session closed the window while a run was going on.
    virtual bool ClosePending() const = 0;
    virtual void ClearClosePending() = 0;
    virtual bool IsUnattended() const = 0;
    // The Application event log: one event with one string, and the error record.
    virtual void ReportEvent(std::uint32_t eventId, const std::string& text) = 0;
    virtual void ReportErrorRecord() = 0;
    // Where the run's messages go (the view's window).
    virtual IRunMessageTarget& MessageTarget() = 0;
};

}  // namespace vzrm
