// The host of unattended runs without a display: questions get the answer an
// unattended run gives, what would be shown goes to the Application event log,
// and the run's messages are handled on the calling thread.
#pragma once

#include <string>

#include "report/event_log_writer.h"
#include "report/progress_line.h"
#include "report/report_run.h"
#include "report/run_host.h"

namespace vzrm {

class CHeadlessRunHost : public IRunHost {
  public:
    // `productText` opens every error record written to the log.
    CHeadlessRunHost(CEventLogWriter& log, std::string folder, std::string productText);

    // Posts the run-and-close request and handles messages until the run has
    // ended; true when the frame was asked to close after a completed run.
    // A program exception while a message is handled (a processor fault on
    // this thread) is logged at once and fails the run.
    void RunUntilDone(CReportRun& run);
    bool CloseRequested() const { return closeRequested_; }
    // Where the worker's progress is drawn (null: nowhere); it must outlive
    // RunUntilDone, which wipes it when the run ends.
    void SetProgress(CProgressLine* progress) { progress_ = progress; }
    // A program exception was caught (and logged) while the run was handled.
    bool Faulted() const { return faulted_; }
    // The request to interrupt the run that closing the window or ending the
    // session makes; nobody is asked. Callable from any thread.
    void RequestInterrupt();

    int AskYesNo(const std::string& text, std::uint32_t style) override;
    void ShowInformation(const std::string& text, std::uint32_t style) override;
    void ShowErrorInfo() override { ReportErrorRecord(); }
    void ShowView() override {}
    void FocusFolderField() override {}
    bool ReadFolderField(std::string& folder) override;
    void ShowLastDate(const std::string&) override {}
    void EnableRunControls(bool) override {}
    void ResetTitle() override {}
    void CloseFrame() override { closeRequested_ = true; }
    bool ClosePending() const override { return false; }
    void ClearClosePending() override {}
    bool IsUnattended() const override { return true; }
    void ReportEvent(std::uint32_t eventId, const std::string& text) override;
    void ReportErrorRecord() override;
    IRunMessageTarget& MessageTarget() override { return queue_; }

  private:
    void Dispatch(CReportRun& run, RunMessage message);

    CEventLogWriter& log_;
    std::string folder_;
    std::string productText_;
    CRunMessageQueue queue_;
    std::string lastErrorRecord_;
    bool closeRequested_ = false;
    CProgressLine* progress_ = nullptr;
    bool runFailed_ = false;  // a program exception ended the run's handling
    bool faulted_ = false;
};

}  // namespace vzrm
