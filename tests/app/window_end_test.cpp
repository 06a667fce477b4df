// How the window's end becomes the program's exit status: the real start-up
// on an installed store, a desktop that stands for the window, and a real
// SIGTERM while the window "runs".
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <thread>

#include "app/main_app.h"
#include "app/vzrmaud_fixture.h"
#include "formats/reg_file.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

class SilentErrorBox : public IErrorBox {
  public:
    bool IsShowing() const override { return false; }
    void Show(const std::string&, const std::string& message, const std::string&, std::uint32_t,
              const std::string&) override {
        messages.push_back(message);
    }
    std::vector<std::string> messages;
};

// The process is asked to end while its window is open; the window ends as
// `end` says.
class TerminatedDesktop : public IDesktop {
  public:
    IErrorBox& ErrorBox() override { return box; }
    void ShowMessage(const std::string&, const std::string& text) override {
        box.messages.push_back(text);
    }
    MAIN_WINDOW_END RunMainWindow(const MAIN_WINDOW_START& start) override {
        std::raise(SIGTERM);
        for (int i = 0; i < 500 && !start.terminateRequested->load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return end;
    }

    SilentErrorBox box;
    MAIN_WINDOW_END end;
};

class WindowEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "the start-up makes the machine-wide lock folder only as root";
        }
        std::string record =
            ReadText(std::string(VZRM_SOURCE_DIR) + "/resources/install/installation.reg.in");
        for (const auto& [from, to] :
             {std::pair{"@INSTALL_DIR@", store.Dir().File("bin")},
              {"@INSTALL_DATE@", "ea,07,03,00,06,00,0e,00,08,00,00,00,00,00,00,00"},
              {"@COMMON_REG@", "00000001"},
              {"@COMMON_SET@", "00000000"},
              {"@SET_ACCESS@", "00000001"}}) {
            record = std::regex_replace(record, std::regex(from), to);
        }
        std::vector<formats::REG_FILE_CHANGE> changes;
        std::string error;
        ASSERT_TRUE(formats::ParseRegFile({record.begin(), record.end()}, changes, error)) << error;
        ASSERT_EQ(formats::ApplyRegFile(changes, error), 0) << error;
    }

    int Start(TerminatedDesktop& desktop) {
        test::ScopedEnv display("DISPLAY", live.Name().c_str());
        CMainApp app(&desktop);
        return app.Run({"vzrmaud", "-rf", store.Dir().File("")});
    }

    test::ScopedRegistry store;
    test::ScopedEnv storeDir{"VZRM_REGISTRY_DIR", store.Dir().File("").c_str()};
    test::ScopedEnv noWayland{"WAYLAND_DISPLAY", ""};
    test::ScopedEnv log{"VZRM_APPLICATION_LOG", store.Dir().File("application.log").c_str()};
    LiveDisplay live;
};

TEST_F(WindowEnd, SIGTERMDuringTheFolderScanEndsWithTwo) {
    TerminatedDesktop desktop;
    desktop.end.optionsSaved = true;
    desktop.end.scanStopped = true;
    EXPECT_EQ(Start(desktop), 2) << ReadText(store.Dir().File("application.log"));
    EXPECT_TRUE(desktop.box.messages.empty()) << desktop.box.messages[0];

    // Closed by the signal with nothing going on: nothing was cut short.
    TerminatedDesktop idle;
    idle.end.optionsSaved = true;
    EXPECT_EQ(Start(idle), 0);
}

}  // namespace
}  // namespace vzrm
