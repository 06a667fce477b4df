// The host of runs and folder scans in the main window: questions and
// messages in boxes owned by the frame, the error box, the view's fields,
// and the worker's messages posted to the view as Qt events.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QString>
#include <string>

#include "diagnostics/desktop.h"
#include "report/run_host.h"
#include "report/scan_host.h"

class QWidget;

namespace vzrm::ui {

class CMainView;

// A run message as an event, posted from the worker thread.
class CRunMessageEvent : public QEvent {
  public:
    explicit CRunMessageEvent(const RunMessage& message);
    static QEvent::Type EventType();
    const RunMessage& Message() const { return message_; }

  private:
    RunMessage message_;
};

// A Yes/No, information or warning box in the style of a message box
// (icon bits 0x10..0x40, the second button default with 0x100).
int ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                   std::uint32_t style, bool yesNo);

class CWindowRunHost : public IRunHost, public IScanHost, public IRunMessageTarget {
  public:
    CWindowRunHost(CMainView& view, const MAIN_WINDOW_START& start, IErrorBox& errorBox);

    bool IsScanBusy() const { return scanBusy_; }
    void SetClosePending(bool pending) { closePending_ = pending; }

    // Both hosts.
    int AskYesNo(const std::string& text, std::uint32_t style) override;
    void ShowInformation(const std::string& text, std::uint32_t style) override;
    void ShowErrorInfo() override;
    void FocusFolderField() override;
    bool ReadFolderField(std::string& folder) override;

    // The run's host.
    void ShowView() override;
    void ShowLastDate(const std::string& text) override;
    void EnableRunControls(bool enable) override;
    void ResetTitle() override;
    void CloseFrame() override;
    bool ClosePending() const override { return closePending_; }
    void ClearClosePending() override { closePending_ = false; }
    bool IsUnattended() const override { return runAuto_; }
    void ReportEvent(std::uint32_t eventId, const std::string& text) override;
    void ReportErrorRecord() override;
    IRunMessageTarget& MessageTarget() override { return *this; }

    // The scan's host.
    void WriteFolderField(const std::string& folder) override;
    void ShowWaitCursor(bool wait) override;
    void SetScanBusy(bool busy) override;
    std::uint32_t TickCount() override;
    void PumpMessages() override;
    bool StopRequested() override { return scanStopRequested_; }
    void ShowProgress(std::uint32_t folders, const std::string& folder) override;
    // The program is to end: a scan stops before its next folder.
    void RequestScanStop() { scanStopRequested_ = true; }

    // From the worker thread.
    void PostRunMessage(const RunMessage& message) override;

  private:
    QWidget* Frame() const;

    CMainView& view_;
    const MAIN_WINDOW_START& start_;
    IErrorBox& errorBox_;
    bool runAuto_;
    bool closePending_ = false;
    bool scanBusy_ = false;
    bool scanStopRequested_ = false;
    bool waitCursor_ = false;
    std::string lastErrorRecord_;
    QString dateText_;  // the date field's text, kept while a scan shows its folder
};

}  // namespace vzrm::ui
