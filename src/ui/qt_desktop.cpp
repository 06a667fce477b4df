#include "ui/qt_desktop.h"

#include <QMessageBox>

#include "base/message_box.h"
#include "report/run_messages.h"
#include "ui/main_frame.h"
#include "ui/main_view.h"

namespace vzrm::ui {

CQtDesktop::CQtDesktop(int& argc, char** argv) : argc_(argc), argv_(argv) {}

CQtDesktop::~CQtDesktop() = default;

void CQtDesktop::EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        // The program's file is vzrmaud-window; the desktop knows it as
        // vzrmaud (Wayland matches windows to vzrmaud.desktop by this name).
        QGuiApplication::setDesktopFileName("vzrmaud");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
}

IErrorBox& CQtDesktop::ErrorBox() {
    EnsureApplication();
    return errorBox_;
}

void CQtDesktop::ShowMessage(const std::string& caption, const std::string& text) {
    EnsureApplication();
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok);
    // System-modal: above every other window until it is answered.
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

MAIN_WINDOW_END CQtDesktop::RunMainWindow(const MAIN_WINDOW_START& start) {
    EnsureApplication();
    MAIN_WINDOW_END end;
    {
        CMainFrame frame(start, errorBox_);
        if (start.windowCreated) {
            start.windowCreated();
        }
        if (start.showCommand == SW_MINIMIZE) {
            frame.showMinimized();
        } else if (start.showCommand != SW_HIDE) {
            frame.show();
            frame.raise();
            frame.activateWindow();
        }
        if (start.runAuto) {
            frame.View().Host().PostRunMessage({WM_RUN_AND_CLOSE, 0, 0});
        }
        QApplication::setQuitOnLastWindowClosed(true);
        QApplication::exec();
        end.ranReport = frame.View().RanReport();
        end.lastOutcome = end.ranReport ? static_cast<int>(frame.View().Run().LastOutcome()) : 0;
        end.faulted = frame.View().Faulted();
        end.scanStopped = frame.View().ScanStopped();
        end.optionsSaved = frame.OptionsSaved();
    }
    return end;
}

}  // namespace vzrm::ui
