// What the folder scan needs of the window it runs in. The main view provides
// it; the command-line form has a host of its own without a window.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm {

class IScanHost {
  public:
    virtual ~IScanHost() = default;

    // A question with Yes/No buttons in the given message-box style; IDYES or IDNO.
    virtual int AskYesNo(const std::string& text, std::uint32_t style) = 0;
    virtual void ShowInformation(const std::string& text, std::uint32_t style) = 0;
    // The error display of the error record.
    virtual void ShowErrorInfo() = 0;
    virtual void FocusFolderField() = 0;
    // The folder field's text; false when the field cannot be read.
    virtual bool ReadFolderField(std::string& folder) = 0;
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
