#include "ui/error_box_display.h"

#include <QApplication>

#include "ui/error_box.h"

namespace vzrm::ui {
namespace {

bool g_boxShowing = false;  // user-interface thread only

}  // namespace

bool CErrorBoxDisplay::IsShowing() const {
    return g_boxShowing;
}

void CErrorBoxDisplay::Show(const std::string& caption, const std::string& message,
                            const std::string& details, std::uint32_t style,
                            const std::string& supportAddress) {
    // A box that throws must not keep every later error from being shown.
    struct Showing {
        Showing() { g_boxShowing = true; }
        ~Showing() { g_boxShowing = false; }
    } showing;
    CMessErrBox box(QApplication::activeWindow(), QString::fromStdString(caption),
                    QString::fromStdString(message), QString::fromStdString(details), style,
                    QString::fromStdString(supportAddress));
    box.DoModal();
}

}  // namespace vzrm::ui
