// What an interactive start shows the user: the error box, the product's
// message boxes and the main window. Unattended starts write to the
// Application log instead.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "diagnostics/error_report.h"
#include "platform/folders.h"
#include "report/event_log_writer.h"
#include "settings/options_profiles.h"
#include "settings/product_description.h"

namespace vzrm {

// What the main window needs of the start-up.
struct MAIN_WINDOW_START {
    COptProf* options = nullptr;
    const CSoftInst* soft = nullptr;
    INSTALL_FLAGS installFlags{0, 0, -1};
    ERROR_REPORT_CONTEXT reportContext;
    CEventLogWriter* log = nullptr;
    const platform::IFolderSource* folders = nullptr;
    std::int32_t showCommand = 1;  // SW_: 1 normal, 6 minimized
    bool runAuto = false;          // run a report at once and close
    std::string helpFile;          // the help document's path
    // The channel of a second start: a descriptor to watch (-1: none), the
    // show commands waiting on it, and whether a request is still on its way
    // (a connection that has not spoken yet; the descriptor does not tell).
    int instanceDescriptor = -1;
    std::function<std::optional<std::int32_t>()> takeShowRequest;
    std::function<bool()> showRequestPending;
    // Set from another thread when the process is asked to end (SIGTERM):
    // the run is interrupted without a question and the window closes.
    const std::atomic<bool>* terminateRequested = nullptr;
    // Called once the window exists: other starts may go on.
    std::function<void()> windowCreated;
};

// How the window's life ended.
struct MAIN_WINDOW_END {
    int lastOutcome = 0;        // of the last run: -1 failed, 0 interrupted or none, 1 completed
    bool ranReport = false;     // a run was started
    bool faulted = false;       // a program exception was caught while handling the run
    bool optionsSaved = false;  // the options were written at the close
    bool scanStopped = false;   // a folder scan was stopped for the program's end
};

class IDesktop {
  public:
    virtual ~IDesktop() = default;
    virtual IErrorBox& ErrorBox() = 0;
    // A system-modal box with the exclamation icon.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    // Shows the main window and runs until it has closed.
    virtual MAIN_WINDOW_END RunMainWindow(const MAIN_WINDOW_START& start) = 0;
};

}  // namespace vzrm
