#include "report/headless_host.h"

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "base/exceptions.h"
#include "base/test_hook.h"
#include "platform/crash_translator.h"
#include "report/event_log_writer.h"
#include "report/exception_hook.h"

namespace vzrm {
namespace {

// Information: a message an attended run would have shown in a box.
constexpr std::uint32_t kInformationEventId = 0x40000003;
// Only the host's own queue carries it: the window's close request.
constexpr std::uint32_t WM_INTERRUPT_REQUEST = 0x0410;

// A processor fault for the tests of the built program; the sanitizers must
// not catch it first.
__attribute__((noinline, no_sanitize("address", "undefined"))) void FaultForTest() {
    *static_cast<volatile int*>(nullptr) = 1;
}

}  // namespace

CHeadlessRunHost::CHeadlessRunHost(CEventLogWriter& log, std::string folder,
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
        Dispatch(run, *message);
        if (message->message == WM_AUDIT_DONE) {
            break;
        }
    }
    if (progress_ != nullptr) {
        progress_->Finish();
    }
}

void CHeadlessRunHost::RequestInterrupt() {
    queue_.PostRunMessage({WM_INTERRUPT_REQUEST, 0, 0});
}

void CHeadlessRunHost::Dispatch(CReportRun& run, RunMessage message) {
    if (message.message == WM_INTERRUPT_REQUEST) {
        RunState::RequestStop();
        return;
    }
    if (message.message == WM_AUDIT_DONE && runFailed_) {
        message.wParam = -1;  // the block names the exception, not what the worker saw
    }
    try {
        CCrashTranslator::Run([&] {
            if (message.message == WM_AUDIT_COUNT && TestHook("fault-in-run")) {
                FaultForTest();
            }
            run.HandleMessage(message);
        });
    } catch (C_Exception* exception) {
        faulted_ = true;
        if (HookRunException(exception, *this)) {
            runFailed_ = true;
        }
    }
}

int CHeadlessRunHost::AskYesNo(const std::string&, std::uint32_t) {
    // Nobody can answer: leave the run as it is.
    return IDNO;
}

void CHeadlessRunHost::ShowInformation(const std::string& text, std::uint32_t) {
    ReportEvent(kInformationEventId, text);
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
        log_.ReportErrorRecord(productText_);
    }
}

}  // namespace vzrm
