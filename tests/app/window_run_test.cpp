// vzrmaud on a desktop: a private X server (Xvfb) for the program, which
// shows its window, runs the report asked for with -c and ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "app/vzrmaud_fixture.h"
#include "platform/posix/instance_channel.h"

namespace vzrm {
namespace {

// The X11 platform's session-bus connection lives until the process ends.
std::string WithDesktopLibraries() {
    // A box left open would hold the test: a minute is far more than a run takes.
    return "LSAN_OPTIONS=suppressions='" + std::string(VZRM_SOURCE_DIR) +
           "/tests/support/lsan_system_libraries.supp' timeout 60 ";
}

// A private X server for the command. Its authority file is the test's own:
// xvfb-run's temporary folder for it could fail to be removed at the end, and
// xvfb-run then ends with 5 instead of the program's status.
std::string XvfbRun(const std::string& authFile, const std::string& screen = "") {
    return "xvfb-run -a -f '" + authFile + "' -s '-nolisten tcp" + screen + "' ";
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
        Run(WithDesktopLibraries() + XvfbRun(dir.File("Xauthority"), " -screen 0 1280x1024x24") +
            "env -u QT_QPA_PLATFORM " + std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_EQ(ReportFiles().size(), 1u);
    EXPECT_NE(Summary().find("Audit report: " + ReportFiles()[0]), std::string::npos) << Summary();
    EXPECT_GT(StoredDate("LastDateProc"), OleNow() - 1.0 / 24);
    const test::CommandResult placement =
        Run(std::string(VZRMREG_PATH) +
            " query 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\ListWnd\\Main' /v PosX");
    EXPECT_NE(placement.output.find("REG_DWORD"), std::string::npos) << placement.output;
}

// Without -c the window stays until it is closed; a second start on the same
// display hands it its show command and ends; SIGTERM closes it.
TEST_F(Vzrmaud, AnInteractiveStartKeepsItsWindowUntilItEnds) {
    if (!HaveTestDisplay()) {
        GTEST_SKIP() << "no Xvfb (scripts/bootstrap.sh installs it)";
    }
    Install();
    setenv("VZRM_LOCK_DIR", Locks().c_str(), 1);
    const std::string pidFile = dir.File("vzrmaud.pid");
    const std::string second = dir.File("second.status");
    // Both starts on one private display.
    const std::string session = "env -u QT_QPA_PLATFORM \"" + std::string(VZRMAUD_PATH) +
                                "\" & echo $! > \"" + pidFile +
                                "\"; sleep 1.5; env -u QT_QPA_PLATFORM \"" + VZRMAUD_PATH +
                                "\" -m; echo $? > \"" + second + "\"; wait";
    const std::string window = Command(WithDesktopLibraries() + XvfbRun(dir.File("Xauthority")) +
                                       "sh -c '" + session + "'");
    const test::CommandResult run = test::RunCommand(
        "(" + window + ") & for i in $(seq 100); do [ -s '" + second +
        "' ] && break; sleep 0.05; done; kill -TERM $(cat '" + pidFile + "'); wait $!");
    unsetenv("VZRM_LOCK_DIR");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadText(second), "0\n") << "the second start handed over and ended";
    EXPECT_EQ(run.output.find("not part of this build"), std::string::npos) << run.output;
    EXPECT_TRUE(ReportFiles().empty());
}

// The installation checks show their box on a desktop even with -c: started
// from a desktop's icon, the program would otherwise end without a word.
TEST_F(Vzrmaud, OnADesktopANotInstalledStartShowsItsBoxEvenWithC) {
    if (!HaveTestDisplay()) {
        GTEST_SKIP() << "no Xvfb (scripts/bootstrap.sh installs it)";
    }
    // No installation record; the box is found by its title, then closed.
    const std::string boxes = dir.File("boxes");
    const std::string session =
        "env -u QT_QPA_PLATFORM \"" + std::string(VZRMAUD_PATH) + "\" -c -rf \"" + reports +
        "\" & for i in $(seq 200); do xwininfo -root -tree | grep -q \"Velmora ZRM Auditor\" "
        "&& break; sleep 0.05; done; xwininfo -root -tree | grep -c \"Velmora ZRM Auditor\" > \"" +
        boxes + "\"; kill $!; wait $!; exit 0";
    const test::CommandResult run =
        Run(WithDesktopLibraries() + XvfbRun(dir.File("Xauthority")) + "sh -c '" + session + "'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(ReadText(boxes), "0\n") << "no box on the desktop";
    EXPECT_EQ(ReadText(ApplicationLog()).find("has not been installed"), std::string::npos)
        << ReadText(ApplicationLog());
}

// Each -c -m run on a desktop ends with its window minimized; the place it
// keeps must be the frame's, or the window creeps down by a title bar a run.
TEST_F(Vzrmaud, AWindowClosedMinimizedComesBackWhereItWas) {
    if (!HaveTestDisplay() || std::system("command -v openbox >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no Xvfb or openbox (scripts/bootstrap.sh installs them)";
    }
    Install();
    const std::string places = dir.File("places");
    const std::string query =
        std::string(VZRMREG_PATH) +
        " query \"HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\ListWnd\\Main\"";
    // A window manager frames the window, as on a desktop.
    const std::string session =
        "openbox >/dev/null 2>&1 & for i in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK "
        "2>/dev/null | grep -q window && break; sleep 0.05; done; for run in 1 2 3; do "
        "env -u QT_QPA_PLATFORM \"" +
        std::string(VZRMAUD_PATH) + "\" -c -m -rf \"" + reports + "\" || exit 9; " + query +
        " >> \"" + places + "\"; done; kill $!";
    const test::CommandResult run =
        Run(WithDesktopLibraries() + XvfbRun(dir.File("Xauthority")) + "sh -c '" + session + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    // Three listings of the same values: the second and third as the first.
    const std::string listed = ReadText(places);
    const std::size_t third = listed.size() / 3;
    ASSERT_GT(third, 0u) << listed;
    EXPECT_EQ(listed.substr(0, third), listed.substr(third, third)) << listed;
    EXPECT_EQ(listed.substr(0, third), listed.substr(2 * third)) << listed;
    EXPECT_NE(listed.find("PosY"), std::string::npos) << listed;
}

// Another account binds the channel's name before root's window starts: the
// start must neither hand its run to it nor end without a window.
TEST_F(Vzrmaud, AChannelNameHeldByAnotherAccountStopsNoRun) {
    if (!HaveTestDisplay()) {
        GTEST_SKIP() << "no Xvfb (scripts/bootstrap.sh installs it)";
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as a second account";
    }
    Install();
    setenv("VZRM_LOCK_DIR", Locks().c_str(), 1);
    sockaddr_un address{};
    socklen_t length = sizeof address;
    {
        // Root's name, as the other account can work it out.
        platform::posix::CInstanceListener probe;
        ASSERT_TRUE(probe.Listen("Quorvix_ZRMAU_Class"));
        getsockname(probe.Descriptor(), reinterpret_cast<sockaddr*>(&address), &length);
    }
    unsetenv("VZRM_LOCK_DIR");
    int held[2];
    ASSERT_EQ(pipe2(held, O_CLOEXEC), 0);
    const pid_t squatter = fork();
    if (squatter == 0) {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        const bool bound = setresgid(65534, 65534, 65534) == 0 &&
                           setresuid(65534, 65534, 65534) == 0 &&
                           bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                           listen(fd, 16) == 0;
        close(held[1]);
        char byte = 0;
        // Takes whatever comes until the test has finished.
        _exit(bound && read(held[0], &byte, 1) == 0 ? 0 : 1);
    }
    close(held[0]);
    const test::CommandResult run =
        Run(WithDesktopLibraries() + XvfbRun(dir.File("Xauthority")) + "env -u QT_QPA_PLATFORM " +
            std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'");
    close(held[1]);
    int status = 0;
    ASSERT_EQ(waitpid(squatter, &status, 0), squatter);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the name was held";
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReportFiles().size(), 1u) << run.output;
}

#ifdef VZRM_TEST_HOOKS_BUILT
// SIGTERM during a window run (the session killed, systemd stopping it):
// the run is interrupted without a question, the window closes and the
// status says the report was not made.
TEST_F(Vzrmaud, TerminatingTheWindowInterruptsItsRun) {
    if (!HaveTestDisplay()) {
        GTEST_SKIP() << "no Xvfb (scripts/bootstrap.sh installs it)";
    }
    Install();
    const std::string pidFile = dir.File("vzrmaud.pid");
    const std::string window = Command("VZRM_TEST_HOOK=hold-run " + WithDesktopLibraries() +
                                       XvfbRun(dir.File("Xauthority")) + "sh -c 'echo $$ > \"" +
                                       pidFile + "\"; exec env -u QT_QPA_PLATFORM \"" +
                                       VZRMAUD_PATH + "\" -c -rf \"" + reports + "\"'");
    // Held at the report's first line until the signal comes.
    const test::CommandResult run = test::RunCommand(
        "(" + window + ") & for i in $(seq 200); do ls '" + reports +
        "'/ZRMAudit_* >/dev/null 2>&1 && break; sleep 0.05; done; sleep 0.3; kill -TERM $(cat '" +
        pidFile + "'); wait $!");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(Summary().find("Operation is interrupted."), std::string::npos) << Summary();
    EXPECT_TRUE(ReportFiles().empty());
}
#endif

}  // namespace
}  // namespace vzrm
