#include "ui/qt_desktop.h"

#include <QMessageBox>

namespace vzrm::ui {

CQtDesktop::CQtDesktop(int& argc, char** argv) : argc_(argc), argv_(argv) {}

CQtDesktop::~CQtDesktop() = default;

void CQtDesktop::EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
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

}  // namespace vzrm::ui
