// What a report run needs of the window it belongs to. The interactive view
// and the headless host of unattended runs both provide it.
#pragma once

#include <cstdint>
#include <string>

#include "base/message_box.h"
#include "report/run_messages.h"

namespace vzrm {

class IRunHost {
  public:
    virtual ~IRunHost() = default;

    // A question with Yes/No buttons in the given message-box style; IDYES or IDNO.
    virtual int AskYesNo(const std::string& text, std::uint32_t style) = 0;
    virtual void ShowInformation(const std::string& text, std::uint32_t style) = 0;
    // The error display of the error record.
    virtual void ShowErrorInfo() = 0;
    // Brings the window up; from then on the run counts as interactive.
    virtual void ShowView() = 0;
    virtual void FocusFolderField() = 0;
    // The folder field's text; false when the field cannot be read.
    virtual bool ReadFolderField(std::string& folder) = 0;
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
