// vzrmaud: Velmora ZRM Auditor. `vzrmaud -c -rf DIR` runs one report into DIR
// and exits with 0 (completed), 1 (failed), 2 (interrupted) or 3 (refused to
// start: wrong command line, not installed, already running).
#include <string>
#include <vector>

#include "app/main_app.h"
#include "ui/qt_desktop.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    vzrm::ui::CQtDesktop desktop(argc, argv);
    vzrm::CMainApp app(desktop);
    return app.Run(args);
}
