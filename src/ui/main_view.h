// The main window's form: the reports folder, the last processing date and
// the buttons that start a report run, list the folders under audit, open
// the help and the About box, and close the program. It hosts the run.
#pragma once

#include <QImage>
#include <QLabel>
#include <functional>
#include <memory>

#include "report/report_run.h"
#include "ui/extended_dialog.h"
#include "ui/extended_edit.h"
#include "ui/window_run_host.h"

namespace vzrm::ui {

class CMainFrame;

inline constexpr int kMainViewTemplate = 130;

enum MainViewControl : int {
    IDC_START = 1,
    IDC_FOLDER = 1001,
    IDC_ABOUT = 1002,
    IDC_HELP = 1003,
    IDC_CLOSE = 1004,
    IDC_BROWSE = 1005,
    IDC_DATE = 1006,
    IDC_FOLDERS_FOR_AUDIT = 1531,
};

// The chosen folder ending with exactly one separator.
QString WithOneSeparator(const QString& folder);

class CMainView : public CDlgExt {
    Q_OBJECT

  public:
    // The desktop's folder chooser: the chosen folder, or empty on Cancel.
    using FolderChooser =
        std::function<QString(QWidget* owner, const QString& title, const QString& start)>;

    CMainView(CMainFrame& frame, const MAIN_WINDOW_START& start, IErrorBox& errorBox);
    ~CMainView() override;

    // Builds the form and loads its fields.
    void OnInitialUpdate();
    void EnableRunControls(bool enable);
    void EnableAllControls(bool enable);

    CEditExt* FolderField() const { return ItemAs<CEditExt>(IDC_FOLDER); }
    QLabel* DateField() const { return ItemAs<QLabel>(IDC_DATE); }
    CReportRun& Run() { return *run_; }
    CWindowRunHost& Host() { return host_; }
    bool Faulted() const { return faulted_; }
    bool RanReport() const { return ranReport_; }
    // A folder scan was stopped because the program is to end.
    bool ScanStopped() const { return scanStopped_; }
    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    // The count of events read so far, for the frame's title.
    std::uint64_t EventsRead() const { return eventsRead_; }

  protected:
    QWidget* CreateItem(const DIALOG_ITEM& item) override;
    void OnCommand(int id) override;
    // A form has no OK or Cancel: Enter and Escape do nothing.
    void OnOK() override {}
    void OnCancel() override {}
    bool event(QEvent* event) override;

  private:
    void OnBrowse();
    void OnFoldersForAudit();
    void HandleRunMessage(RunMessage message);
    void ShowBrowseBitmap(bool enabled);
    void UpdateCursors();

    CMainFrame& frame_;
    const MAIN_WINDOW_START& start_;
    CWindowRunHost host_;
    std::unique_ptr<CReportRun> run_;
    QImage browseEnabled_;
    QImage browseDisabled_;
    FolderChooser chooseFolder_;
    std::uint64_t eventsRead_ = 0;
    bool runFailed_ = false;
    bool faulted_ = false;
    bool ranReport_ = false;
    bool scanStopped_ = false;
};

}  // namespace vzrm::ui
