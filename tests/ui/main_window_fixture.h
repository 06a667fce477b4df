// The main window on Qt's offscreen platform with a real store, a generated
// Security log, the project's message files and a recording error box.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "report/event_log_writer.h"
#include "settings/options_profiles.h"
#include "settings/product_description.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "ui/main_frame.h"
#include "ui/main_view.h"

namespace vzrm::ui {

inline constexpr char kAppKey[] = "Software\\Quorvix\\VelmoraZRMAuditor";

inline const char kWindowScenario[] = R"({"id":4624,"time":"2026-03-14T08:05:30Z"}
{"id":4656,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":"0x120089"}
{"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":2}
{"id":4658,"time":"2026-03-14T08:05:35Z","handle":"0x1a4"}
)";

class RecordingErrorBox : public IErrorBox {
  public:
    bool IsShowing() const override { return false; }
    void Show(const std::string&, const std::string& message, const std::string& details,
              std::uint32_t, const std::string&) override {
        messages.push_back(message);
        this->details.push_back(details);
    }
    std::vector<std::string> messages;
    std::vector<std::string> details;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Answers the next message box with `button`, keeping its text.
inline void AnswerNextBox(QMessageBox::StandardButton button, QString* text = nullptr,
                          std::function<void()> whileOpen = {}) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, button, text, whileOpen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (text != nullptr) {
            *text = box->text();
        }
        if (whileOpen) {
            whileOpen();
        }
        box->button(button)->click();
    });
    poll->start(10);
}

// Handles events until `done` holds or ten seconds have passed.
inline bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
        QTest::qWait(10);
    }
    return done();
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errorInfo.Clear();
        RunState::End();
        test::WriteEvtx(store.Dir().File("Security.evtx"), kWindowScenario);
        std::filesystem::create_directory(reports);
        ASSERT_TRUE(options.ReadRegOpt(kAppKey, platform::HKEY_CURRENT_USER));
        start.options = &options;
        start.soft = &soft;
        start.log = &log;
        start.reportContext.productText = soft.ProductText();
        start.reportContext.applicationName = soft.ProductName();
        start.helpFile = store.Dir().File("help/index.html");
    }
    void TearDown() override {
        frame.reset();
        g_errorInfo.Clear();
    }

    CMainFrame& Open() {
        frame = std::make_unique<CMainFrame>(start, errorBox);
        frame->show();
        return *frame;
    }
    CMainView& View() { return frame->View(); }
    QAbstractButton* Button(int id) { return View().ItemAs<QAbstractButton>(id); }
    void SetFolder(const std::string& folder) {
        View().FolderField()->setPlainText(QString::fromStdString(folder));
    }
    std::vector<std::string> ReportFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(reports)) {
            if (entry.path().filename().string().rfind("ZRMAudit_", 0) == 0) {
                names.push_back(entry.path().string());
            }
        }
        return names;
    }
    std::string Summary() const { return ReadText(reports + "/_ZRMAudit_summary.txt"); }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    test::ScopedEnv securityLog{"VZRM_SECURITY_LOG", store.Dir().File("Security.evtx").c_str()};
    test::ScopedEnv applicationLog{"VZRM_APPLICATION_LOG", store.Dir().File("app.log").c_str()};
    std::string reports = store.Dir().File("reports");
    CMainOpt options;
    CSoftInst soft;
    CEventLogWriter log;
    RecordingErrorBox errorBox;
    MAIN_WINDOW_START start;
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace vzrm::ui
