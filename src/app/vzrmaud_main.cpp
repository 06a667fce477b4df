// vzrmaud: Velmora ZRM Auditor. `vzrmaud -c -rf DIR` runs one report into DIR
// and exits with 0 (completed), 1 (failed), 2 (interrupted) or 3 (refused to
// start: wrong command line, not installed, already running).
//
// Without a desktop (cron, the timer) the run is made here, and Qt is never
// loaded: loading it would cost an unattended start most of its time. With a
// desktop, the window's program takes over this process.
#include <cstring>
#include <iostream>
#include <string>

#include "app/main_app.h"
#include "platform/posix/sibling_program.h"
#include "report/event_log_writer.h"

int main(int argc, char** argv) {
    if (!vzrm::IsNonInteractiveSession()) {
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
