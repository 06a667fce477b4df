// The window's program: what vzrmaud runs when a desktop can be reached. The
// same start-up as vzrmaud's, with Qt for the main window and the boxes.
#include <csignal>
#include <string>
#include <vector>

#include "app/main_app.h"
#include "platform/posix/posix_services.h"
#include "ui/qt_desktop.h"

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    // A write past the file size limit fails (and is reported) instead of
    // ending the process with the report half written.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv, argv + argc);
    vzrm::ui::CQtDesktop desktop(argc, argv);
    vzrm::CMainApp app(&desktop);
    return app.Run(args);
}
