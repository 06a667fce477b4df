// The main window driven as a user drives it: runs, interruptions, closing,
// browsing, a second start's show commands, the help and the placement.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QDesktopServices>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "main_window_fixture.h"
#include "platform/posix/instance_channel.h"
#include "screenshots.h"
#include "support/fake_folder_source.h"
#include "ui/error_box.h"
#include "ui/window_message.h"

namespace vzrm::ui {
namespace {

TEST_F(MainWindow, StartChecksTheFolderFieldFirst) {
    Open();
    SetFolder("");
    Button(IDC_START)->click();
    ASSERT_TRUE(WaitUntil([&] { return !errorBox.messages.empty(); }));
    EXPECT_EQ(errorBox.messages[0], "The folder name for reports is empty.");
    EXPECT_EQ(frame->focusWidget(), View().FolderField()) << "the focus goes back to the field";
    EXPECT_TRUE(ReportFiles().empty());

    const std::string missing = store.Dir().File("no such folder");
    SetFolder(missing);
    Button(IDC_START)->click();
    ASSERT_TRUE(WaitUntil([&] { return errorBox.messages.size() == 2; }));
    EXPECT_EQ(errorBox.messages[1], "The folder '" + missing + "' is invalid or does not exist.");
    EXPECT_EQ(View().FolderField()->toPlainText().toStdString(), missing)
        << "the field is kept as typed";
    EXPECT_NE(options.GetOptStr("LogFold"), missing) << "a folder refused is not stored";
    EXPECT_EQ(Button(IDC_START)->text(), QStringLiteral("Start"));
    EXPECT_TRUE(View().FolderField()->isEnabled());
}

TEST_F(MainWindow, TheDateFieldShowsOnlyAValidStoredDate) {
    const auto store = [&](double value) {
        std::uint8_t bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        options.SetOptBin("LastDateProc", bytes, sizeof bytes);
    };
    store(1.0e9);  // far beyond the year 9999
    Open();
    EXPECT_EQ(View().DateField()->text(), QString());
    frame.reset();
    store(46000.5);  // 2025-12-09 12:00
    Open();
    EXPECT_TRUE(View().DateField()->text().contains(QStringLiteral("12:00")))
        << View().DateField()->text().toStdString();
}

TEST_F(MainWindow, AFullRunWritesTheFilesAndShowsTheOutcome) {
    Open();
    EXPECT_EQ(View().DateField()->text(), QString()) << "no run yet";
    SetFolder(reports);
    test::SaveScreenshot(*frame, QStringLiteral("main_window_idle"));
    QString shown;
    AnswerNextBox(QMessageBox::Ok, &shown);
    Button(IDC_START)->click();
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty() && !g_bRunning; }));
    EXPECT_TRUE(errorBox.messages.empty()) << errorBox.messages[0];
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Creating of report was finished successfully.")))
        << shown.toStdString();
    ASSERT_EQ(ReportFiles().size(), 1u);
    EXPECT_TRUE(shown.contains(QString::fromStdString(ReportFiles()[0])));
    EXPECT_NE(Summary().find("Processed events: 2\r\nAudit report: " + ReportFiles()[0]),
              std::string::npos)
        << Summary();
    EXPECT_FALSE(View().DateField()->text().isEmpty()) << "the date of this run";
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Velmora ZRM Auditor"));
    for (const int id : {IDC_FOLDER, IDC_BROWSE, IDC_DATE, IDC_FOLDERS_FOR_AUDIT, IDC_ABOUT,
                         IDC_HELP, IDC_START, IDC_CLOSE}) {
        EXPECT_TRUE(View().Item(id)->isEnabled()) << id;
    }
}

#ifdef VZRM_TEST_HOOKS_BUILT
// A run held at its first row until it is interrupted.
class HeldRun : public MainWindow {
  protected:
    void StartHeldRun() {
        Open();
        SetFolder(reports);
        Button(IDC_START)->click();
        ASSERT_TRUE(g_bRunning);
        // Held at the report's first line.
        ASSERT_TRUE(WaitUntil([&] { return ReportFiles().size() == 1; }));
        QTest::qWait(50);
    }
    test::ScopedEnv hold{"VZRM_TEST_HOOK", "hold-run"};
};

TEST_F(HeldRun, DuringARunOnlyInterruptAndCloseWork) {
    StartHeldRun();
    test::SaveScreenshot(*frame, QStringLiteral("main_window_running"));
    EXPECT_EQ(Button(IDC_START)->text(), QStringLiteral("Interrupt"));
    for (const int id :
         {IDC_FOLDER, IDC_BROWSE, IDC_DATE, IDC_FOLDERS_FOR_AUDIT, IDC_ABOUT, IDC_HELP}) {
        EXPECT_FALSE(View().Item(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(Button(IDC_START)->isEnabled());
    EXPECT_TRUE(Button(IDC_CLOSE)->isEnabled());
    // The wait cursor everywhere but over the two buttons that still answer.
    EXPECT_EQ(View().cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(Button(IDC_START)->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(Button(IDC_CLOSE)->cursor().shape(), Qt::ArrowCursor);

    QString question;
    AnswerNextBox(QMessageBox::No, &question);
    Button(IDC_START)->click();
    EXPECT_EQ(question, QStringLiteral("Do you want to interrupt the current operation?"));
    EXPECT_TRUE(g_bRunning) << "No leaves the run going";
    QTest::qWait(50);
    EXPECT_TRUE(g_bRunning);

    AnswerNextBox(QMessageBox::Yes);
    Button(IDC_START)->click();
    ASSERT_TRUE(WaitUntil([&] { return !g_bRunning; }));
    EXPECT_NE(Summary().find("Operation is interrupted."), std::string::npos) << Summary();
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_TRUE(frame->isVisible()) << "interrupting keeps the window";
    EXPECT_EQ(Button(IDC_START)->text(), QStringLiteral("Start"));
    EXPECT_TRUE(View().FolderField()->isEnabled());
}

TEST_F(HeldRun, ClosingDuringARunAsksAndClosesAfterTheRun) {
    StartHeldRun();
    AnswerNextBox(QMessageBox::No);
    frame->close();
    QTest::qWait(300);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(g_bRunning);

    AnswerNextBox(QMessageBox::Yes);
    frame->close();
    ASSERT_TRUE(WaitUntil([&] { return !frame->isVisible(); }));
    EXPECT_FALSE(g_bRunning);
    EXPECT_NE(Summary().find("Operation is interrupted."), std::string::npos) << Summary();
    EXPECT_TRUE(frame->OptionsSaved());
}
TEST_F(HeldRun, TheEndOfTheSessionIsRefusedOnceAndTheRunInterrupted) {
    start.runAuto = true;  // unattended: nobody is asked
    StartHeldRun();
    EXPECT_FALSE(frame->OnQueryEndSession());
    ASSERT_TRUE(WaitUntil([&] { return !frame->isVisible(); })) << "closed after the run";
    EXPECT_NE(Summary().find("Operation is interrupted."), std::string::npos) << Summary();
    EXPECT_TRUE(frame->OnQueryEndSession()) << "a later logoff goes through";
}

TEST_F(HeldRun, AWatchedSessionEndAsksFirst) {
    StartHeldRun();
    QString question;
    AnswerNextBox(QMessageBox::No, &question);
    EXPECT_FALSE(frame->OnQueryEndSession());
    EXPECT_EQ(question, QStringLiteral("Do you want to interrupt the current operation?"));
    EXPECT_TRUE(g_bRunning) << "No: the run goes on, the logoff is still refused";
    AnswerNextBox(QMessageBox::Yes);
    EXPECT_FALSE(frame->OnQueryEndSession());
    ASSERT_TRUE(WaitUntil([&] { return !frame->isVisible(); }));
}
#endif

TEST_F(MainWindow, BrowsingEndsTheFolderWithOneSeparator) {
    Open();
    QString title;
    QString chosen = QStringLiteral("/");
    View().SetFolderChooser([&](QWidget*, const QString& caption, const QString&) {
        title = caption;
        return chosen;
    });
    Button(IDC_BROWSE)->click();
    EXPECT_EQ(title, QStringLiteral("Select the folder for reports:"));
    EXPECT_EQ(View().FolderField()->toPlainText(), QStringLiteral("/")) << "a root stays as it is";
    chosen = QString::fromStdString(reports);
    Button(IDC_BROWSE)->click();
    EXPECT_EQ(View().FolderField()->toPlainText().toStdString(), reports + "/");
    EXPECT_EQ(options.GetOptStr("LogFold"), reports + "/");
    chosen.clear();  // Cancel
    Button(IDC_BROWSE)->click();
    EXPECT_EQ(View().FolderField()->toPlainText().toStdString(), reports + "/");
    EXPECT_EQ(WithOneSeparator(QStringLiteral("/srv/r/")), QStringLiteral("/srv/r/"));
}

TEST_F(MainWindow, ASecondStartShowsOrMinimizesTheWindow) {
    Open();
    PostWindowMessage(frame.get(), WM_SHOW_INSTANCE, 6);
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->isMinimized());
    PostWindowMessage(frame.get(), WM_SHOW_INSTANCE, 1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_TRUE(frame->isVisible());

    // With a box open on the window, a request to minimize does nothing.
    bool minimizedWithBox = true;
    AnswerNextBox(QMessageBox::Ok, nullptr, [&] {
        PostWindowMessage(frame.get(), WM_SHOW_INSTANCE, 6);
        QCoreApplication::processEvents();
        minimizedWithBox = frame->isMinimized();
    });
    QMessageBox::information(frame.get(), QStringLiteral("Velmora ZRM Auditor"),
                             QStringLiteral("A box"));
    EXPECT_FALSE(minimizedWithBox);
    PostWindowMessage(frame.get(), WM_SHOW_INSTANCE, 3);
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->isMinimized()) << "other show commands do nothing";
}

TEST_F(MainWindow, HelpOpensTheDocumentOrShowsWhyNot) {
    Open();
    Button(IDC_HELP)->click();
    ASSERT_EQ(errorBox.messages.size(), 1u);
    EXPECT_EQ(errorBox.messages[0],
              "Failed to launch help.\r\nThe help page is " + start.helpFile + ".");
    EXPECT_NE(errorBox.details[0].find("GVBUJATABNDSIES"), std::string::npos)
        << errorBox.details[0];
    EXPECT_NE(errorBox.details[0].find(start.helpFile), std::string::npos);

    std::filesystem::create_directories(store.Dir().File("help"));
    test::WriteFile(start.helpFile, "<html></html>");
    QUrl opened;
    bool opens = true;
    frame->SetUrlOpener([&](const QUrl& url) {
        opened = url;
        return opens;
    });
    Button(IDC_HELP)->click();
    EXPECT_EQ(errorBox.messages.size(), 1u);
    EXPECT_EQ(opened.toLocalFile().toStdString(), start.helpFile);
    EXPECT_EQ(opened.fragment(), QStringLiteral("context-130"));
    opened.clear();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(View().FolderField(), Qt::Key_F1);
    EXPECT_EQ(opened.fragment(), QStringLiteral("context-130")) << "F1 opens the same topic";
    opens = false;  // no browser to open it with
    Button(IDC_HELP)->click();
    ASSERT_EQ(errorBox.messages.size(), 2u);
    EXPECT_EQ(errorBox.messages[1],
              "Failed to launch help.\r\nThe help page is " + start.helpFile + ".");
}

TEST_F(MainWindow, ThePlacementIsKeptAcrossTwoStarts) {
    Open();
    EXPECT_EQ(frame->pos(), QPoint(100, 100)) << "nothing saved: the default corner";
    EXPECT_EQ(frame->size(), View().size());
    frame->move(300, 200);
    SetFolder(reports);
    frame->close();
    EXPECT_FALSE(frame->isVisible());
    frame.reset();
    Open();
    EXPECT_EQ(frame->pos(), QPoint(300, 200));
    EXPECT_EQ(View().FolderField()->toPlainText().toStdString(), reports)
        << "the folder was saved at the close";
}

// A drive with an audited recordings folder and an office folder, as the
// window's folder source, and the window open on the reports folder.
class FoldersForAudit : public MainWindow {
  protected:
    void OpenOnAuditedDrive() {
        std::filesystem::create_directories(tree + "/recordings/2026");
        std::filesystem::create_directories(tree + "/office");
        folders.drives = {tree};
        folders.Audit(tree + "/recordings");
        start.folders = &folders;
        Open();
        SetFolder(reports + "/");
    }

    std::string tree = store.Dir().File("drive");
    test::FakeFolderSource folders;
};

TEST_F(FoldersForAudit, AnsweredYesListsTheAuditedFoldersIntoTheReportsFolder) {
    OpenOnAuditedDrive();
    QString question, outcome;
    AnswerNextBox(QMessageBox::Yes, &question, [&] { AnswerNextBox(QMessageBox::Ok, &outcome); });
    Button(IDC_FOLDERS_FOR_AUDIT)->click();
    EXPECT_TRUE(question.startsWith(QStringLiteral("Reading of the list of folders for audit")));
    ASSERT_TRUE(WaitUntil([&] { return !outcome.isEmpty(); }));
    EXPECT_TRUE(outcome.startsWith(QStringLiteral("Reading of list was finished successfully.")))
        << outcome.toStdString();
    EXPECT_NE(ReadText(reports + "/_ZRMAudit_folders.txt").find(tree + "/recordings"),
              std::string::npos);
    EXPECT_TRUE(errorBox.messages.empty());
    EXPECT_TRUE(Button(IDC_START)->isEnabled()) << "all controls back after the scan";
    EXPECT_TRUE(View().isEnabled());
}

// SIGTERM while the scan walks: it stops before its next folder, the list
// says it was cut short, and the window closes once the scan has ended.
TEST_F(FoldersForAudit, TheEndOfTheProgramStopsTheScanAndThenClosesTheWindow) {
    // Walked after the audited recordings folder.
    for (const char* folder : {"t1", "t2", "t3", "t4"}) {
        for (int i = 0; i < 10; ++i) {
            std::filesystem::create_directories(tree + "/" + folder + "/" + std::to_string(i));
        }
    }
    std::atomic<bool> terminate{false};
    start.terminateRequested = &terminate;
    // Slow enough for the window's look at the signal's flag (every 100 ms).
    folders.onRead = [&](const std::string& path) {
        terminate = terminate || path == tree + "/t2";
        QThread::msleep(5);
    };
    OpenOnAuditedDrive();
    AnswerNextBox(QMessageBox::Yes);
    Button(IDC_FOLDERS_FOR_AUDIT)->click();
    ASSERT_TRUE(WaitUntil([&] { return !frame->isVisible(); }));
    EXPECT_TRUE(View().ScanStopped());
    const std::string list = ReadText(reports + "/_ZRMAudit_folders.txt");
    EXPECT_NE(list.find(tree + "/recordings\r\n"), std::string::npos) << list;
    EXPECT_NE(list.find("\r\nThe listing was stopped before its end.\r\nStop of processing: "),
              std::string::npos)
        << list;
    EXPECT_EQ(std::count(folders.reads.begin(), folders.reads.end(), tree + "/t4"), 0)
        << "the walk stopped long before the last folder";
    EXPECT_TRUE(errorBox.messages.empty());
}

// While the scan walks, the title counts the folders and the date's place
// shows the folder being walked; both come back when it ends.
TEST_F(FoldersForAudit, TheWindowShowsHowFarTheScanIs) {
    for (int i = 0; i < 40; ++i) {
        std::filesystem::create_directories(tree + "/office/room " + std::to_string(i));
    }
    QString title, folder;
    folders.onRead = [&](const std::string&) {
        QThread::msleep(5);
        if (title.isEmpty() && frame->windowTitle().contains(QStringLiteral("folders read"))) {
            title = frame->windowTitle();
            folder = View().DateField()->text();
            test::SaveScreenshot(*frame, QStringLiteral("main_window_scanning"));
        }
    };
    OpenOnAuditedDrive();
    const QString date = View().DateField()->text();
    QString outcome;
    AnswerNextBox(QMessageBox::Yes, nullptr, [&] { AnswerNextBox(QMessageBox::Ok, &outcome); });
    Button(IDC_FOLDERS_FOR_AUDIT)->click();
    ASSERT_TRUE(WaitUntil([&] { return !outcome.isEmpty(); }));
    EXPECT_TRUE(title.startsWith(QStringLiteral("Velmora ZRM Auditor - "))) << title.toStdString();
    EXPECT_TRUE(folder.contains(QStringLiteral("room")) ||
                folder.contains(QStringLiteral("\u2026")))
        << folder.toStdString();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Velmora ZRM Auditor"));
    EXPECT_EQ(View().DateField()->text(), date);
}

TEST_F(FoldersForAudit, AnsweredNoListsNothing) {
    OpenOnAuditedDrive();
    QString question;
    AnswerNextBox(QMessageBox::No, &question);
    Button(IDC_FOLDERS_FOR_AUDIT)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(question.startsWith(QStringLiteral("Reading of the list of folders for audit")));
    EXPECT_FALSE(std::filesystem::exists(reports + "/_ZRMAudit_folders.txt"));
    EXPECT_TRUE(Button(IDC_FOLDERS_FOR_AUDIT)->isEnabled());
    EXPECT_TRUE(Button(IDC_START)->isEnabled());
    EXPECT_TRUE(errorBox.messages.empty());
}

TEST_F(MainWindow, WhileTheFolderScanRunsEverythingIsDisabledAndCloseIgnored) {
    Open();
    View().Host().SetScanBusy(true);
    for (const int id : {IDC_FOLDER, IDC_BROWSE, IDC_DATE, IDC_FOLDERS_FOR_AUDIT, IDC_ABOUT,
                         IDC_HELP, IDC_START, IDC_CLOSE}) {
        EXPECT_FALSE(View().Item(id)->isEnabled()) << id;
    }
    EXPECT_EQ(Button(IDC_START)->text(), QStringLiteral("Start")) << "the text stays";
    frame->close();
    EXPECT_TRUE(frame->isVisible());
    View().Host().SetScanBusy(false);
    EXPECT_TRUE(Button(IDC_CLOSE)->isEnabled());
    frame->close();
    EXPECT_FALSE(frame->isVisible());
}

// The window listening on the instance channel, as the start-up wires it.
class WindowInstanceChannel : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        ASSERT_TRUE(listener.Listen("Quorvix_ZRMAU_Class"));
        start.instanceDescriptor = listener.Descriptor();
        start.takeShowRequest = [this] { return listener.TakeShowRequest(); };
        start.showRequestPending = [this] { return listener.HasPending(); };
        Open();
    }

    test::ScopedEnv locks{"VZRM_LOCK_DIR", store.Dir().File("locks").c_str()};
    platform::posix::CInstanceListener listener;
};

TEST_F(WindowInstanceChannel, ASecondStartReachesTheWindow) {
    ASSERT_TRUE(platform::posix::SendShowInstance("Quorvix_ZRMAU_Class", 6));
    EXPECT_TRUE(WaitUntil([&] { return frame->isMinimized(); }));
    ASSERT_TRUE(platform::posix::SendShowInstance("Quorvix_ZRMAU_Class", 1));
    EXPECT_TRUE(WaitUntil([&] { return !frame->isMinimized(); }));
}

TEST_F(WindowInstanceChannel, SilentConnectionsDoNotHoldUpTheWindow) {
    sockaddr_un address{};
    socklen_t length = sizeof address;
    getsockname(listener.Descriptor(), reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> silent;
    for (int i = 0; i < 10; ++i) {
        silent.push_back(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        EXPECT_EQ(connect(silent.back(), reinterpret_cast<const sockaddr*>(&address), length), 0);
    }
    // The silent ones come first, as another account's would.
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform::posix::SendShowInstance("Quorvix_ZRMAU_Class", 6));
    EXPECT_TRUE(WaitUntil([&] { return frame->isMinimized(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    for (const int fd : silent) {
        close(fd);
    }
}

TEST_F(MainWindow, AWindowClosedMaximizedIsMaximizedAtItsFirstShow) {
    Open();
    frame->showMaximized();
    QCoreApplication::processEvents();
    frame->close();
    frame = std::make_unique<CMainFrame>(start, errorBox);
    EXPECT_TRUE(frame->MaximizeOnFirstShow());
    EXPECT_FALSE(frame->isMaximized()) << "placed at its normal rectangle first";
    frame->show();
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_FALSE(frame->MaximizeOnFirstShow());
}

TEST_F(MainWindow, AboutOpensTheAboutBox) {
    Open();
    QString title;
    QTimer::singleShot(50, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            title = box->windowTitle();
            box->close();
        }
    });
    Button(IDC_ABOUT)->click();
    EXPECT_EQ(title, QStringLiteral("About"));
}

// The error box as a failed run opens it, with the real report in its details.
TEST_F(MainWindow, AFailedStartOpensTheErrorBoxWithItsReport) {
    start.reportContext.commandLine = {"/usr/bin/vzrmaud"};
    start.reportContext.options = &options;
    start.reportContext.supportAddress = "support@quorvix.example";
    Open();
    const std::string missing = "/srv/recordings/reports";
    SetFolder(missing);
    Button(IDC_START)->click();
    ASSERT_TRUE(WaitUntil([&] { return !errorBox.messages.empty(); }));
    const std::string& details = errorBox.details[0];
    EXPECT_NE(details.find("EOOXNIPOBZTLHIV"), std::string::npos) << details;
    EXPECT_NE(details.find("CmdLine:"), std::string::npos) << details;

    CMessErrBox box(frame.get(), QStringLiteral("Velmora ZRM Auditor"),
                    QString::fromStdString(errorBox.messages[0]), QString::fromStdString(details),
                    0, QStringLiteral("support@quorvix.example"));
    QTimer::singleShot(0, [&] {
        box.ItemAs<QAbstractButton>(4000)->click();
        test::SaveScreenshot(box, QStringLiteral("error-box-report"));
        box.reject();
    });
    box.DoModal();
}

}  // namespace
}  // namespace vzrm::ui
