#include "ui/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QSessionManager>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/message_box.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "ui/main_view.h"
#include "ui/program_images.h"
#include "ui/window_message.h"

namespace vzrm::ui {
namespace {

constexpr int kCloseRetryMs = 200;
constexpr int kTerminatePollMs = 100;
constexpr int kShowRequestRetryMs = 50;
constexpr std::int32_t kErrorFileNotFound = 2;
constexpr std::int32_t kErrorNoAssociation = 1155;

}  // namespace

QString HelpAddress(const QString& file, int command, int data) {
    QUrl address = QUrl::fromLocalFile(file);
    if (command == kHelpContext) {
        address.setFragment(QStringLiteral("context-%1").arg(data));
    }
    return address.toString();
}

CMainFrame::CMainFrame(const MAIN_WINDOW_START& start, IErrorBox& errorBox)
    : CDockFrame(start.soft->BasePath()),
      start_(start),
      errorBox_(errorBox),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    SetProfileSection("ListWnd\\Main");
    SetDefaultRect({100, 100, 0, 0});
    setWindowTitle(QString::fromStdString(start.soft->ProductName()));
    setWindowIcon(ProgramIcon());

    view_ = new CMainView(*this, start, errorBox);
    view_->OnInitialUpdate();
    view_->move(0, 0);
    setFixedSize(view_->size());
    PlaceAtCreation();

    if (start.instanceDescriptor >= 0 && start.takeShowRequest) {
        instanceChannel_ = std::make_unique<QSocketNotifier>(start.instanceDescriptor,
                                                             QSocketNotifier::Read, this);
        connect(instanceChannel_.get(), &QSocketNotifier::activated, this,
                &CMainFrame::TakeShowRequests);
        showRetry_.setSingleShot(true);
        connect(&showRetry_, &QTimer::timeout, this, &CMainFrame::TakeShowRequests);
    }
    // F1: the window's topic, as the Help button opens it.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { ShowHelp(kHelpContext, kMainViewTemplate); });
    if (start.terminateRequested != nullptr) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &CMainFrame::CheckTerminate);
        poll->start(kTerminatePollMs);
    }
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::commitDataRequest, this, &CMainFrame::OnCommitData,
                Qt::DirectConnection);
    }
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::TakeShowRequests() {
    while (const std::optional<std::int32_t> command = start_.takeShowRequest()) {
        PostWindowMessage(this, WM_SHOW_INSTANCE, static_cast<std::uintptr_t>(*command));
    }
    // A sender that connected but has not written yet wakes nothing more.
    if (start_.showRequestPending && start_.showRequestPending() && !showRetry_.isActive()) {
        showRetry_.start(kShowRequestRetryMs);
    }
}

void CMainFrame::CheckTerminate() {
    if (terminating_ || !start_.terminateRequested->load()) {
        return;
    }
    terminating_ = true;
    // The scan stops at its next folder; the close waits for it below.
    if (view_->Host().IsScanBusy()) {
        view_->Host().RequestScanStop();
    }
    RunState::RequestStop();
    view_->Host().SetClosePending(g_bRunning);
    QTimer::singleShot(0, this, &QWidget::close);
}

bool CMainFrame::RequestInterrupt() {
    if (!g_bRunning) {
        return true;
    }
    if (!g_bInterruptible) {
        return false;
    }
    // Nobody is there to answer an unattended run's question.
    CWindowRunHost& host = view_->Host();
    if (!(host.IsUnattended() ? RunState::RequestStop() : view_->Run().AskToInterrupt())) {
        return false;
    }
    host.SetClosePending(true);
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (view_->Host().IsScanBusy()) {
        if (terminating_) {
            QTimer::singleShot(kCloseRetryMs, this, &QWidget::close);
        }
        return;
    }
    if (!g_bRunning) {
        optionsSaved_ = view_->Run().SaveReportsFolder();
        // A placement that cannot be kept costs only the window's place at
        // the next start; the options' failure stays the one recorded.
        g_errorInfo.Suspend(true);
        SavePlacement();
        g_errorInfo.Resume();
        event->accept();
        return;
    }
    // Retried until the run has ended.
    if (!g_bInterruptible || RequestInterrupt()) {
        QTimer::singleShot(kCloseRetryMs, this, &QWidget::close);
    }
}

bool CMainFrame::OnQueryEndSession() {
    if (!g_bRunning) {
        return true;
    }
    // Refused: the run is interrupted and its end closes the window, so a
    // later logoff is not held up.
    RequestInterrupt();
    return false;
}

void CMainFrame::OnCommitData(QSessionManager& manager) {
    if (!OnQueryEndSession()) {
        manager.cancel();
    }
}

void CMainFrame::OnShowInstance(std::int32_t command) {
    if (command == SW_SHOWNORMAL) {
        showNormal();
        raise();
        activateWindow();
    } else if (command == SW_MINIMIZE && isEnabled() &&
               QApplication::activeModalWidget() == nullptr) {
        // A modal box open on the window stands for a disabled frame.
        showMinimized();
    }
}

void CMainFrame::ShowHelp(int command, int data) {
    if (command != kHelpContext && command != kHelpContents) {
        return;
    }
    const QString file = QString::fromStdString(start_.helpFile);
    std::int32_t code = 0;
    if (!QFileInfo(file).isFile()) {
        code = kErrorFileNotFound;
    } else if (!openUrl_(QUrl(HelpAddress(file, command, data)))) {
        code = kErrorNoAssociation;
    } else {
        return;
    }
    const auto command32 = static_cast<std::uint32_t>(command);
    const auto data32 = static_cast<std::uint32_t>(data);
    // Without a browser the page can still be read: the box says where it is.
    g_errorInfo.SetError(
        "GVBUJATABNDSIES", code,
        LoadResourceText(kTextHelpLaunchFailed) + "\r\nThe help page is " + start_.helpFile + ".",
        HexDumpText(&command32, 4) + HexDumpText(&data32, 4) + StrgLine(start_.helpFile));
    vzrm::ShowErrorInfo(start_.reportContext, errorBox_);
}

void CMainFrame::ShowProgress(std::uint64_t events) {
    setWindowTitle(QStringLiteral("%1 - %2 events read")
                       .arg(QString::fromStdString(start_.soft->ProductName()))
                       .arg(events));
}

bool CMainFrame::event(QEvent* event) {
    if (auto* message = dynamic_cast<CWindowMessageEvent*>(event)) {
        if (message->Message() == WM_SHOW_INSTANCE) {
            OnShowInstance(static_cast<std::int32_t>(message->WParam()));
            return true;
        }
    }
    return CDockFrame::event(event);
}

}  // namespace vzrm::ui
