// The window's program: what vzrmaud runs when a desktop can be reached. The
// same start-up as vzrmaud's, with Qt for the main window and the boxes.
#include "app/main_app.h"
#include "ui/qt_desktop.h"

int main(int argc, char** argv) {
    vzrm::PrepareProcess();
    vzrm::ui::CQtDesktop desktop(argc, argv);
    vzrm::CMainApp app(&desktop);
    return app.Run({argv, argv + argc});
}
