#include "report/headless_host.h"

#include "audit/run_flags.h"
#include "diagnostics/error_info.h"

namespace vzrm {

CHeadlessRunHost::CHeadlessRunHost(IApplicationLog& log, std::string folder,
                                   std::string productText)
    : log_(log), folder_(std::move(folder)), productText_(std::move(productText)) {}

void CHeadlessRunHost::RunUntilDone(CReportRun& run) {
    queue_.PostRunMessage({WM_RUN_AND_CLOSE, 0, 0});
    for (;;) {
        // A run that never started posts nothing more: stop when idle.
        const std::optional<RunMessage> message =
            g_bRunning ? std::optional(queue_.Wait()) : queue_.TryTake();
        if (!message) {
            break;
        }
        if (message->message == WM_AUDIT_PROGRESS) {
            if (progress_ != nullptr) {
                progress_->Update(static_cast<std::uint64_t>(message->wParam),
                                  static_cast<std::uint64_t>(message->lParam),
                                  static_cast<std::uint64_t>(message->extra));
            }
            continue;
        }
        run.HandleMessage(*message);
        if (message->message == WM_AUDIT_DONE) {
            break;
        }
    }
    if (progress_ != nullptr) {
        progress_->Finish();
    }
}

int CHeadlessRunHost::AskYesNo(const std::string&, std::uint32_t) {
    // Nobody can answer: leave the run as it is.
    return IDNO;
}

void CHeadlessRunHost::ShowInformation(const std::string& text, std::uint32_t) {
    ReportEvent(0x40000003, text);
}

bool CHeadlessRunHost::ReadFolderField(std::string& folder) {
    folder = folder_;
    return true;
}

void CHeadlessRunHost::ReportEvent(std::uint32_t eventId, const std::string& text) {
    log_.Report(eventId, {text});
}

void CHeadlessRunHost::ReportErrorRecord() {
    // The end of a failed run both logs the record and "shows" it; one event is enough.
    const std::string text = productText_ + "\r\n" + g_errorInfo.Render();
    if (text != lastErrorRecord_) {
        lastErrorRecord_ = text;
        log_.Report(kErrorRecordEventId, {text});
    }
}

}  // namespace vzrm
