// The program's only window: a small fixed-size frame around the main view.
// It guards closing and the end of the desktop session while a run is going
// on, answers a second start, and opens the help.
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "diagnostics/desktop.h"
#include "ui/dock_frame.h"

class QSessionManager;

namespace vzrm::ui {

class CMainView;

inline constexpr unsigned WM_SHOW_INSTANCE = 0x0405;
// The help commands: a topic by context number, and the contents.
inline constexpr int kHelpContext = 1;
inline constexpr int kHelpContents = 11;

// The help document's address for a command: the contents, or the topic of a
// context number as an anchor.
QString HelpAddress(const QString& file, int command, int data);

class CMainFrame : public CDockFrame {
    Q_OBJECT

  public:
    CMainFrame(const MAIN_WINDOW_START& start, IErrorBox& errorBox);
    ~CMainFrame() override;

    CMainView& View() { return *view_; }
    // Asks (when someone is watching) whether the run may be interrupted;
    // true when it may, or when there is no run.
    bool RequestInterrupt();
    // The end of the desktop session: false (refused) while a run goes on,
    // whose interruption is then requested.
    bool OnQueryEndSession();
    // Opens the help document; failures are recorded and shown.
    void ShowHelp(int command, int data);
    // The count of events read, in the title while a run goes on.
    void ShowProgress(std::uint64_t events);
    bool OptionsSaved() const { return optionsSaved_; }
    // The desktop's opener of documents; replaceable for tests.
    void SetUrlOpener(std::function<bool(const QUrl&)> opener) { openUrl_ = std::move(opener); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void OnShowInstance(std::int32_t command);
    void OnCommitData(QSessionManager& manager);
    void TakeShowRequests();
    // The process was asked to end: interrupt any run, unasked, and close.
    void CheckTerminate();

    const MAIN_WINDOW_START& start_;
    IErrorBox& errorBox_;
    CMainView* view_;
    std::unique_ptr<QSocketNotifier> instanceChannel_;
    QTimer showRetry_;
    std::function<bool(const QUrl&)> openUrl_;
    bool optionsSaved_ = false;
    bool terminating_ = false;
};

}  // namespace vzrm::ui
