// vzrmaud on a desktop: a private X server (Xvfb) for the program, which
// shows its window, runs the report asked for with -c and ends.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/vzrmaud_fixture.h"

namespace vzrm {
namespace {

// The X11 platform's session-bus connection lives until the process ends.
std::string WithDesktopLibraries() {
    return "LSAN_OPTIONS=suppressions='" + std::string(VZRM_SOURCE_DIR) +
           "/tests/support/lsan_system_libraries.supp' ";
}

bool HaveTestDisplay() {
    return std::system("command -v xvfb-run >/dev/null 2>&1 && command -v Xvfb >/dev/null 2>&1") ==
           0;
}

TEST_F(Vzrmaud, OnADesktopTheWindowRunsTheReportAndEnds) {
    if (!HaveTestDisplay()) {
        GTEST_SKIP() << "no Xvfb (scripts/bootstrap.sh installs it)";
    }
    Install();
    // The window's placement is kept in the user's store at the close.
    const test::CommandResult run =
        Run(WithDesktopLibraries() +
            "xvfb-run -a -s '-nolisten tcp -screen 0 1280x1024x24' env -u QT_QPA_PLATFORM " +
            std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_EQ(ReportFiles().size(), 1u);
    EXPECT_NE(Summary().find("Audit report: " + ReportFiles()[0]), std::string::npos) << Summary();
    EXPECT_GT(StoredDate("LastDateProc"), OleNow() - 1.0 / 24);
    const test::CommandResult placement =
        Run(std::string(VZRMREG_PATH) +
            " query 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\ListWnd\\Main' /v PosX");
    EXPECT_NE(placement.output.find("REG_DWORD"), std::string::npos) << placement.output;
}

}  // namespace
}  // namespace vzrm
