// vzrmaud: Velmora ZRM Auditor. `vzrmaud -c -rf DIR` runs one report into DIR
// and exits with 0 (completed), 1 (failed), 2 (interrupted) or 3 (refused to
// start: wrong command line, not installed, already running).
//
// Without a desktop (cron, the timer) the run is made here, and Qt is never
// loaded: loading it would cost an unattended start most of its time; a start
// without a desktop that does not ask for a report (-c) is refused. With a
// desktop, the window's program takes over this process.
#include <cstring>
#include <iostream>
#include <string>

#include "app/command_line.h"
#include "app/main_app.h"
#include "app/tool_version.h"
#include "platform/posix/sibling_program.h"
#include "report/event_log_writer.h"

int main(int argc, char** argv) {
    const std::string first = argc == 2 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::cout << vzrm::kUsageText;
        return std::cout.flush() ? vzrm::EXIT_COMPLETED : vzrm::EXIT_FAILED;
    }
    if (first == "--version") {
        std::cout << vzrm::ToolVersionText("vzrmaud");
        return std::cout.flush() ? vzrm::EXIT_COMPLETED : vzrm::EXIT_FAILED;
    }
    const bool desktop = !vzrm::IsNonInteractiveSession();
    if (!desktop && !vzrm::AsksForReport({argv + 1, argv + argc})) {
        // Over SSH a plain start would otherwise run a report and spend a period.
        std::cerr << "vzrmaud: there is no desktop to show the window on; "
                     "-c runs an unattended report (see vzrmaud(1))\n";
        return vzrm::EXIT_REFUSED;
    }
    if (desktop) {
        const int error = vzrm::platform::posix::ExecSiblingProgram(VZRM_WINDOW_PROGRAM, argv);
        vzrm::PrepareProcess();
        // Started from a menu, nobody sees standard error: the journal keeps it too.
        const std::string text = "The window's program " +
                                 vzrm::platform::posix::SiblingProgramPath(VZRM_WINDOW_PROGRAM) +
                                 " could not be started: " + std::strerror(error);
        std::cerr << "vzrmaud: " << text << "\n";
        vzrm::CEventLogWriter log;
        log.Open(vzrm::kEventSource);
        log.Report(vzrm::kErrorRecordEventId, {text});
        return vzrm::EXIT_REFUSED;
    }
    vzrm::PrepareProcess();
    vzrm::CMainApp app(nullptr);
    return app.Run({argv, argv + argc});
}
