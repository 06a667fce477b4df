#include "ui/main_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "base/exceptions.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "report/exception_hook.h"
#include "report/folder_scan.h"
#include "settings/option_names.h"
#include "ui/about_box.h"
#include "ui/button_style.h"
#include "ui/main_frame.h"
#include "ui/program_images.h"

namespace vzrm::ui {
namespace {

QString ChooseWithDesktop(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
}

}  // namespace

QString WithOneSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

CMainView::CMainView(CMainFrame& frame, const MAIN_WINDOW_START& start, IErrorBox& errorBox)
    : CDlgExt(kMainViewTemplate, &frame),
      frame_(frame),
      start_(start),
      host_(*this, start, errorBox),
      run_(std::make_unique<CReportRun>(*start.options, host_)),
      chooseFolder_(ChooseWithDesktop) {
    // A child form filling the frame, not a dialog of its own.
    setWindowFlags(Qt::Widget);
}

CMainView::~CMainView() = default;

QWidget* CMainView::CreateItem(const DIALOG_ITEM& item) {
    if (item.id == IDC_BROWSE) {
        auto* button = new CButtonStyle(this);
        button->SetButtonStyle(BS_BITMAP);
        button->SetMayBeDefault(false);
        return button;
    }
    QWidget* widget = CDlgExt::CreateItem(item);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setWordWrap(false);
    }
    if (item.id == IDC_START) {
        qobject_cast<CButtonExt*>(widget)->setDefault(true);
    }
    return widget;
}

void CMainView::OnInitialUpdate() {
    Build();
    browseEnabled_ = BrowseGlyph(true);
    browseDisabled_ = BrowseGlyph(false);
    ShowBrowseBitmap(true);
    FolderField()->setPlainText(QString::fromStdString(start_.options->GetOptStr(kOptLogFold)));
    FolderField()->setToolTip(QString::fromStdString(LoadResourceText(kTextSelectReportsFolder)));
    run_->LoadStoredDates();
    // Only a valid stored date is shown; the date text of an invalid one is
    // for the summary, not for the field.
    if (!run_->PeriodStart().IsValid()) {
        DateField()->clear();
    }
    EnableRunControls(true);
}

void CMainView::ShowBrowseBitmap(bool enabled) {
    auto* browse = ItemAs<CButtonStyle>(IDC_BROWSE);
    browse->SetBitmap(enabled ? browseEnabled_ : browseDisabled_);
    browse->update();
}

void CMainView::EnableRunControls(bool enable) {
    for (const int id :
         {IDC_FOLDER, IDC_BROWSE, IDC_DATE, IDC_FOLDERS_FOR_AUDIT, IDC_ABOUT, IDC_HELP}) {
        Item(id)->setEnabled(enable);
    }
    ShowBrowseBitmap(enable);
    ItemAs<QAbstractButton>(IDC_START)->setText(
        QString::fromStdString(LoadResourceText(enable ? kTextStartButton : kTextInterruptButton)));
    UpdateCursors();
    repaint();
}

void CMainView::EnableAllControls(bool enable) {
    for (const int id : {IDC_FOLDER, IDC_BROWSE, IDC_DATE, IDC_FOLDERS_FOR_AUDIT, IDC_ABOUT,
                         IDC_HELP, IDC_START, IDC_CLOSE}) {
        Item(id)->setEnabled(enable);
    }
    ShowBrowseBitmap(enable);
    repaint();
}

void CMainView::UpdateCursors() {
    // During a run only Start ("Interrupt") and Close answer, while the run
    // can still be interrupted.
    if (g_bRunning) {
        setCursor(Qt::WaitCursor);
        const Qt::CursorShape live = g_bInterruptible ? Qt::ArrowCursor : Qt::WaitCursor;
        Item(IDC_START)->setCursor(live);
        Item(IDC_CLOSE)->setCursor(live);
        frame_.setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
        Item(IDC_START)->unsetCursor();
        Item(IDC_CLOSE)->unsetCursor();
        frame_.unsetCursor();
    }
}

void CMainView::OnCommand(int id) {
    switch (id) {
        case IDC_START:
            ranReport_ = ranReport_ || !g_bRunning;
            run_->OnStartButton();
            UpdateCursors();
            break;
        case IDC_ABOUT: {
            CAboutDlg about(*start_.soft, ReadAboutFacts(*start_.soft, &start_.installFlags),
                            &frame_);
            about.setWindowIcon(ProgramIcon());
            about.DoModal();
            break;
        }
        case IDC_HELP:
            frame_.ShowHelp(kHelpContext, kMainViewTemplate);
            break;
        case IDC_CLOSE:
            QMetaObject::invokeMethod(&frame_, &QWidget::close, Qt::QueuedConnection);
            break;
        case IDC_BROWSE:
            OnBrowse();
            break;
        case IDC_FOLDERS_FOR_AUDIT:
            OnFoldersForAudit();
            break;
        default:
            break;
    }
}

void CMainView::OnBrowse() {
    const QString chosen =
        chooseFolder_(this, QString::fromStdString(LoadResourceText(kTextSelectReportsFolder)),
                      FolderField()->toPlainText());
    if (chosen.isEmpty()) {
        return;
    }
    const QString folder = WithOneSeparator(chosen);
    FolderField()->setPlainText(folder);
    start_.options->SetOptStr(kOptLogFold, folder.toStdString());
}

void CMainView::OnFoldersForAudit() {
    if (start_.folders == nullptr) {
        return;
    }
    g_errorInfo.Clear();
    CFolderScan scan(host_, *start_.folders);
    if (scan.OnFoldersButton(*start_.options) && g_errorInfo.HasError()) {
        host_.ShowErrorInfo();
    }
    scanStopped_ = scanStopped_ || scan.Stopped();
}

void CMainView::HandleRunMessage(RunMessage message) {
    if (message.message == WM_AUDIT_PROGRESS) {
        eventsRead_ = static_cast<std::uint64_t>(message.wParam);
        frame_.ShowProgress(eventsRead_);
        return;
    }
    if (message.message == WM_AUDIT_DONE && runFailed_) {
        message.wParam = -1;  // the block names the exception, not what the worker saw
        runFailed_ = false;
    }
    if (message.message == WM_RUN_AND_CLOSE) {
        ranReport_ = true;
    }
    try {
        run_->HandleMessage(message);
    } catch (C_Exception* exception) {
        faulted_ = true;
        if (HookRunException(exception, host_)) {
            runFailed_ = true;
        }
    }
    UpdateCursors();
}

bool CMainView::event(QEvent* event) {
    if (event->type() == CRunMessageEvent::EventType()) {
        HandleRunMessage(static_cast<CRunMessageEvent*>(event)->Message());
        return true;
    }
    return CDlgExt::event(event);
}

}  // namespace vzrm::ui
