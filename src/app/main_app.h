// The program's start-up: command line, installation check, options, one
// instance per machine; then the main window on a desktop, or the unattended
// report run without one. A second start on the desktop hands its show
// command to the running instance.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics/desktop.h"
#include "diagnostics/error_report.h"
#include "platform/crash_translator.h"
#include "platform/named_mutex.h"
#include "report/event_log_writer.h"
#include "settings/install_record.h"
#include "settings/options_profiles.h"
#include "settings/product_description.h"

namespace vzrm {

// Process exit statuses, for cron and scripts.
enum ExitStatus : int {
    EXIT_COMPLETED = 0,
    EXIT_FAILED = 1,
    EXIT_INTERRUPTED = 2,
    EXIT_REFUSED = 3,
};

class CMainApp {
  public:
    // Without a desktop every start is unattended, display or not.
    explicit CMainApp(IDesktop* desktop);
    int Run(const std::vector<std::string>& args);

  private:
    // The start-up and, unattended, the report run.
    int Start(const std::vector<std::string>& args);
    // The start's steps: each gives the exit status when the start ends there.
    std::optional<int> ReadStartOptions(const std::vector<std::string>& args);
    // The machine-wide instance lock, held in `instance` for the whole run.
    std::optional<int> HoldInstance(std::unique_ptr<platform::INamedMutex>& instance);
    int RunReport();
    // The main window until it closes; with -c it runs the report at once.
    int RunWindow(std::int32_t show, platform::INamedMutex& startup);
    // The error record: the error box, or the Application log when
    // unattended. `boxOnDesktop`: the box whenever a desktop is there, -c or
    // not (the installation checks: a -c started from a desktop's icon would
    // otherwise end without a word).
    void ReportStartupError(bool boxOnDesktop = false);
    void ShowError();
    // A message box of the product; the Application log when unattended.
    void ShowProductMessage(const std::string& text, bool boxOnDesktop = false);
    bool LogsInsteadOfBox(bool boxOnDesktop) const {
        return nonInteractive_ || (runAuto_ && !boxOnDesktop);
    }
    ERROR_REPORT_CONTEXT ReportContext() const;

    // Installed first: processor faults on this thread become C_Exceptions.
    CCrashTranslator crashTranslator_;
    IDesktop* desktop_;
    std::vector<std::string> args_;
    bool nonInteractive_ = false;
    bool runAuto_ = false;
    CSoftInst soft_;
    INSTALL_FLAGS installFlags_{0, 0, -1};
    CMainOpt options_;
    CEventLogWriter log_;
};

// What `--help` prints, and a wrong command line on standard error.
extern const char kUsageText[];

// What both programs do first: the Linux services in force, and a write past
// the file size limit failing (and reported) instead of ending the process
// with the report half written.
void PrepareProcess();

// No desktop to reach: started by cron, a timer or a service, or with a
// DISPLAY left over from a session that has ended.
bool IsNonInteractiveSession();

// The help document installed with the program.
std::string HelpFile(const std::string& programPath);

// The main window's show command at start-up: SW_MINIMIZE, SW_SHOWNORMAL or
// SW_HIDE (never shown). A Linux launcher gives SW_SHOWNORMAL.
std::int32_t StartShowCommand(std::int32_t launcherShow, bool runMin, bool nonInteractive);

}  // namespace vzrm
