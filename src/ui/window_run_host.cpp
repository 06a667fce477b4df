#include "ui/window_run_host.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <chrono>

#include "base/error_info.h"
#include "base/message_box.h"
#include "ui/main_view.h"

namespace vzrm::ui {
namespace {

QMessageBox::Icon IconOf(std::uint32_t style) {
    switch (style & MB_ICONMASK) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::Warning;
    }
}

}  // namespace

CRunMessageEvent::CRunMessageEvent(const RunMessage& message)
    : QEvent(EventType()), message_(message) {}

QEvent::Type CRunMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

int ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                   std::uint32_t style, bool yesNo) {
    QMessageBox box(
        IconOf(style), QString::fromStdString(caption),
        QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
        yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    if (yesNo) {
        box.setDefaultButton((style & 0x100) != 0 ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int answer = box.exec();
    if (!yesNo) {
        return 1;  // IDOK
    }
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

CWindowRunHost::CWindowRunHost(CMainView& view, const MAIN_WINDOW_START& start, IErrorBox& errorBox)
    : view_(view), start_(start), errorBox_(errorBox), runAuto_(start.runAuto) {}

QWidget* CWindowRunHost::Frame() const {
    return view_.window();
}

int CWindowRunHost::AskYesNo(const std::string& text, std::uint32_t style) {
    return ShowMessageBox(Frame(), start_.soft->ProductName(), text, style, true);
}

void CWindowRunHost::ShowInformation(const std::string& text, std::uint32_t style) {
    ShowMessageBox(Frame(), start_.soft->ProductName(), text, style, false);
}

void CWindowRunHost::ShowErrorInfo() {
    vzrm::ShowErrorInfo(start_.reportContext, errorBox_);
}

void CWindowRunHost::FocusFolderField() {
    view_.FolderField()->setFocus();
}

bool CWindowRunHost::ReadFolderField(std::string& folder) {
    folder = view_.FolderField()->toPlainText().toStdString();
    return true;
}

void CWindowRunHost::ShowView() {
    Frame()->showNormal();
    runAuto_ = false;  // from here on, someone is watching
}

void CWindowRunHost::ShowLastDate(const std::string& text) {
    view_.DateField()->setText(QString::fromStdString(text));
}

void CWindowRunHost::EnableRunControls(bool enable) {
    view_.EnableRunControls(enable);
}

void CWindowRunHost::ResetTitle() {
    Frame()->setWindowTitle(QString::fromStdString(start_.soft->ProductName()));
}

void CWindowRunHost::CloseFrame() {
    QMetaObject::invokeMethod(Frame(), &QWidget::close, Qt::QueuedConnection);
}

void CWindowRunHost::ReportEvent(std::uint32_t eventId, const std::string& text) {
    start_.log->Open(kEventSource);
    start_.log->Report(eventId, {text});
}

void CWindowRunHost::ReportErrorRecord() {
    const std::string text = start_.soft->ProductText() + "\r\n" + g_errorInfo.Render();
    if (text != lastErrorRecord_) {
        lastErrorRecord_ = text;
        start_.log->Open(kEventSource);
        start_.log->Report(kErrorRecordEventId, {text});
    }
}

void CWindowRunHost::WriteFolderField(const std::string& folder) {
    view_.FolderField()->setPlainText(QString::fromStdString(folder));
}

void CWindowRunHost::ShowWaitCursor(bool wait) {
    if (wait && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (!wait && waitCursor_) {
        QApplication::restoreOverrideCursor();
    }
    waitCursor_ = wait;
}

void CWindowRunHost::SetScanBusy(bool busy) {
    scanBusy_ = busy;
    scanStopRequested_ = scanStopRequested_ && busy;
    if (busy) {
        dateText_ = view_.DateField()->text();
    } else {
        ResetTitle();
        view_.DateField()->setText(dateText_);
    }
    view_.EnableAllControls(!busy);
    view_.setEnabled(!busy);
}

std::uint32_t CWindowRunHost::TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void CWindowRunHost::ShowProgress(std::uint32_t folders, const std::string& folder) {
    // The count in the title, as a run shows its events; the folder in the
    // date's place, cut to its width, until the scan ends.
    Frame()->setWindowTitle(QStringLiteral("%1 - %2 folders read")
                                .arg(QString::fromStdString(start_.soft->ProductName()))
                                .arg(folders));
    QLabel* field = view_.DateField();
    field->setText(field->fontMetrics().elidedText(QString::fromStdString(folder), Qt::ElideMiddle,
                                                   field->width()));
}

void CWindowRunHost::PumpMessages() {
    QCoreApplication::processEvents();
}

void CWindowRunHost::PostRunMessage(const RunMessage& message) {
    QCoreApplication::postEvent(&view_, new CRunMessageEvent(message));
}

}  // namespace vzrm::ui
