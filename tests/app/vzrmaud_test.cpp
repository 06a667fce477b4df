// The built vzrmaud as a process: an installed store in a temporary folder,
// logs written by the project's writers, reports checked byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "app/vzrmaud_fixture.h"
#include "base/local_date_time.h"
#include "platform/posix/instance_channel.h"
#include "support/log_files.h"

namespace vzrm {
namespace {

TEST_F(Vzrmaud, TwoUnattendedRunsOfTheSameLog) {
    Install();
    const test::CommandResult first = Audit("-c -rf '" + reports + "'");
    ASSERT_EQ(first.status, 0) << first.output;
    ASSERT_EQ(ReportFiles().size(), 1u);
    const std::string report = ReadText(ReportFiles()[0]);
    const std::regex stamp(R"(\d\d\d\d-\d\d-\d\d \d\d:\d\d:\d\d)");
    // The times of processing are the clock's; everything else is fixed.
    EXPECT_EQ(std::regex_replace(report, stamp, "T"),
              "Start of processing: T\r\n\r\n"
              "Date,Time,Computer,User,Path File,Name File,Event,Path Program,Name Program\r\n\r\n"
              "2026.03.14,08:05:33,RECPC,operator,D:\\Records\\,case12.zrm,Create,"
              "C:\\Program Files\\Rec\\,pramvoxe.exe,\r\n"
              "2026.03.14,08:05:35,RECPC,operator,D:\\Records\\,case12.zrm,Close,"
              "C:\\Program Files\\Rec\\,pramvoxe.exe,\r\n"
              "2026.03.14,08:05:37,RECPC,operator,D:\\Records\\,old.zrm,Delete,"
              "C:\\Program Files\\Rec\\,pramvoxe.exe,\r\n\r\n"
              "Stop of processing: T\r\n");

    // At once, in the same second: the first report must survive.
    const test::CommandResult second = Audit("-c -rf '" + reports + "'");
    ASSERT_EQ(second.status, 0) << second.output;
    ASSERT_EQ(ReportFiles().size(), 1u);
    EXPECT_EQ(ReadText(ReportFiles()[0]), report);
    const std::string summary =
        std::regex_replace(ReadText(reports + "/_ZRMAudit_summary.txt"), stamp, "T");
    EXPECT_EQ(summary,
              "Start of processing: T\r\nLast date of processing: \r\n"
              "Processed events: 3\r\nAudit report: " +
                  ReportFiles()[0] +
                  "\r\nStop of processing: T\r\n------------------------------\r\n"
                  "Start of processing: T\r\nLast date of processing: T\r\n"
                  "Processed events: 0\r\nAudit report hasn't been created. The data "
                  "is absent for the processed period.\r\nStop of processing: T\r\n"
                  "------------------------------\r\n")
        << summary;
    // One information record a run, so that the journal shows every run.
    const std::string logged = ReadText(dir.File("application.log"));
    EXPECT_EQ(logged.find(" error "), std::string::npos) << logged;
    const std::size_t ended = logged.find(
        "VelmoraZRMAuditor information 0x40000005\n"
        "Creating of report was finished successfully.");
    ASSERT_NE(ended, std::string::npos) << logged;
    EXPECT_NE(logged.find("Rows: 3\r\nPeriod: the start of the log - ", ended), std::string::npos)
        << logged;
    EXPECT_NE(logged.find("Audit report hasn't been created. The data is absent for the processed "
                          "period.",
                          ended),
              std::string::npos)
        << logged;
}

TEST_F(Vzrmaud, OnlyACompletedRunMovesTheStoredDates) {
    Install();
    const double before = OleNow();
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    const double after = OleNow();
    // The next period starts where this one ended, two seconds before the
    // run started; the newest event's time is kept for the loss check.
    const double second = 1.0 / 86400;
    const double processed = StoredDate("LastDateProc");
    EXPECT_GE(processed, before - 3 * second);
    EXPECT_LE(processed, after - 2 * second);
    EXPECT_EQ(StoredDate("LastDateData"),
              CLocalDateTime::FromFields(2026, 3, 14, 8, 5, 37).GetOleValue());

    // A folder that exists and that nobody may write to, root included.
    const test::CommandResult failed = Audit("-c -rf /sys");
    EXPECT_EQ(failed.status, 1) << failed.output;
    const std::string log = ReadText(dir.File("application.log"));
    EXPECT_NE(log.find("Access to /sys/ZRMAudit_"), std::string::npos) << log;
    EXPECT_NE(log.find("Code : 5 (0x5)"), std::string::npos) << log;
    EXPECT_EQ(StoredDate("LastDateProc"), processed);
    EXPECT_EQ(StoredDate("LastDateData"),
              CLocalDateTime::FromFields(2026, 3, 14, 8, 5, 37).GetOleValue());
}

TEST_F(Vzrmaud, ALogThatLostEventsIsNotedAtTheHeadOfTheBlock) {
    Install();
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    // The log was cleared since: its oldest event is newer than the newest one
    // seen. (Its events lie before the new period, so the run has no rows.)
    std::string later = std::regex_replace(std::string(kScenario), std::regex("08:05:"), "09:15:");
    for (const auto& [from, to] :
         {std::pair{"4656", "560"}, {"4663", "567"}, {"4658", "562"}, {"4660", "564"}}) {
        later = std::regex_replace(later, std::regex(std::string("\"id\":") + from),
                                   std::string("\"id\":") + to);
    }
    test::WriteEvt(dir.File("Security.evt"), later);
    const test::CommandResult run = Audit("-c -rf '" + reports + "'", dir.File("Security.evt"));
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string summary = ReadText(reports + "/_ZRMAudit_summary.txt");
    const std::string second = summary.substr(summary.find("-\r\n") + 3);
    const std::regex head(
        "Start of processing: [^\r]+\r\nATTENTION!\r\nThe program has found loss of the "
        "system data in the range 2026-03-14 08:05:37 - 2026-03-14 09:15:30\\.Last date of "
        "processing: [^\r]+\r\nProcessed events: 0\r\nAudit report hasn't been created\\. The "
        "data is absent for the processed period\\.\r\n[\\s\\S]*");
    EXPECT_TRUE(std::regex_match(second, head)) << second;
}

TEST_F(Vzrmaud, RefusalsAndFailuresGiveTheirStatusAndTheirMessage) {
    // Not installed.
    EXPECT_EQ(Audit("-c -rf '" + reports + "'").status, 3);
    EXPECT_NE(ReadText(dir.File("application.log"))
                  .find("error 0xC0000002\nThe Velmora ZRM Auditor 1.0 (build 414) has not been "
                        "installed.\n"),
              std::string::npos)
        << ReadText(dir.File("application.log"));
    Install();
    // Command-line errors.
    const test::CommandResult wrong = Audit("-c /x");
    EXPECT_EQ(wrong.status, 3);
    EXPECT_NE(wrong.output.find("3 (refused to start"), std::string::npos) << wrong.output;
    EXPECT_NE(ReadText(dir.File("application.log")).find("Text : The [/x] parameter is incorrect."),
              std::string::npos);
    EXPECT_EQ(Audit("-c -rf").status, 3);
    EXPECT_NE(ReadText(dir.File("application.log")).find("Text : The [rf] parameter"),
              std::string::npos);
    // A reports folder that cannot be written: the run fails and says why.
    const test::CommandResult failed = Audit("-c -rf '" + dir.File("missing") + "'");
    EXPECT_EQ(failed.status, 1) << failed.output;
    EXPECT_NE(ReadText(dir.File("application.log")).find("is invalid or does not exist"),
              std::string::npos);
    EXPECT_TRUE(ReportFiles().empty());
    // A pipe in place of the log fails the run at once instead of waiting
    // for a writer (the timeout turns a wait into status 124).
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
    const test::CommandResult pipe = Run(
        std::string("timeout 20 ") + VZRMAUD_PATH + " -c -rf '" + reports + "'", dir.File("pipe"));
    EXPECT_EQ(pipe.status, 1) << pipe.output;
    EXPECT_TRUE(ReportFiles().empty());
}

TEST_F(Vzrmaud, HelpVersionAndAStartWithoutDesktopOrReportRunNothing) {
    Install();
    for (const char* option : {"--help", "-h", "--version"}) {
        SCOPED_TRACE(option);
        const test::CommandResult shown = test::RunCommand(
            Command(std::string(VZRMAUD_PATH) + " " + option + " 2>'" + dir.File("err") + "'", "",
                    "", true));
        EXPECT_EQ(shown.status, 0);
        EXPECT_NE(shown.output.find(option[2] == 'v' ? "vzrmaud (Velmora ZRM Auditor) 1.0"
                                                     : "usage: vzrmaud"),
                  std::string::npos)
            << shown.output;
        EXPECT_EQ(shown.output.find("README"), std::string::npos) << shown.output;
        EXPECT_EQ(ReadText(dir.File("err")), "");
    }
    // Over SSH, without -c: a message, status 3, no report and no date stored.
    for (const char* arguments : {"", "-rf 'REPORTS'", "-m"}) {
        SCOPED_TRACE(arguments);
        const test::CommandResult plain =
            Audit(std::regex_replace(arguments, std::regex("REPORTS"), reports));
        EXPECT_EQ(plain.status, 3);
        EXPECT_NE(plain.output.find("no desktop"), std::string::npos) << plain.output;
        EXPECT_NE(plain.output.find("-c runs an unattended report"), std::string::npos);
    }
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_FALSE(std::filesystem::exists(reports + "/_ZRMAudit_summary.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("application.log")));
    EXPECT_EQ(Run(std::string(VZRMREG_PATH) +
                  " query 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options'")
                  .output.find("LastDateProc"),
              std::string::npos);
}

TEST_F(Vzrmaud, AReportsFolderThatCannotHoldReportsIsRefusedAndNotStored) {
    Install();
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    const auto storedFolder = [&] {
        return Run(std::string(VZRMREG_PATH) +
                   " query 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options'"
                   " /v LogFold")
            .output;
    };
    const std::string before = storedFolder();
    ASSERT_NE(before.find(reports), std::string::npos) << before;
    std::filesystem::create_directory(dir.File("relative"));
    const std::pair<std::string, std::string> kRefused[] = {
        {"''", "The folder name for reports is empty."},
        {"relative", "The folder 'relative' is invalid or does not exist."},
        {"'" + dir.File("missing") + "'",
         "The folder '" + dir.File("missing") + "' is invalid or does not exist."}};
    for (const auto& [folder, text] : kRefused) {
        SCOPED_TRACE(folder);
        std::filesystem::remove(dir.File("application.log"));
        const test::CommandResult refused =
            Run("sh -c \"cd '" + dir.Path().string() + "' && exec " + VZRMAUD_PATH + " -c -rf " +
                folder + "\"");
        EXPECT_EQ(refused.status, 1) << refused.output;
        EXPECT_NE(ReadText(dir.File("application.log")).find(text), std::string::npos)
            << ReadText(dir.File("application.log"));
        EXPECT_EQ(storedFolder(), before);
    }
}

// What a run sends to syslog, caught at /dev/log of a mount namespace of its
// own (root only); empty when it cannot be caught here.
std::string SyslogOf(const std::string& command, const test::TempDir& dir) {
    if (geteuid() != 0 || !test::HaveProgram("unshare")) {
        return {};
    }
    test::WriteFile(dir.File("listen.py"),
                    "import socket, sys\n"
                    "s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)\n"
                    "s.bind('/dev/log'); s.settimeout(3)\n"
                    "open(sys.argv[1], 'w').close()\n"
                    "try:\n"
                    "    while True:\n"
                    "        open(sys.argv[1], 'ab').write(s.recv(65536) + b'\\n')\n"
                    "except socket.timeout:\n"
                    "    pass\n");
    test::WriteFile(dir.File("syslog.sh"),
                    "set -e\nmkdir -p '" + dir.File("dev") + "'\nmount --bind /dev '" +
                        dir.File("dev") +
                        "'\nmount -t tmpfs tmpfs /dev\n"
                        "for d in null zero urandom random full; do touch /dev/$d; mount --bind '" +
                        dir.File("dev") + "'/$d /dev/$d; done\npython3 '" + dir.File("listen.py") +
                        "' '" + dir.File("syslog") + "' & listener=$!\nsleep 0.5\n" + command +
                        " || true\nwait $listener\n");
    test::RunCommand("unshare -m --propagation private sh '" + dir.File("syslog.sh") + "'");
    return ReadText(dir.File("syslog"));
}

TEST_F(Vzrmaud, SyslogNamesTheProgramAndKeepsTheEventsSource) {
    // Not installed: the refusal's error record goes to syslog.
    const std::string logged = SyslogOf(
        Command("VZRM_APPLICATION_LOG= " + std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'"),
        dir);
    if (logged.empty()) {
        GTEST_SKIP() << "syslog is caught only as root, in a mount namespace";
    }
    EXPECT_TRUE(std::regex_search(logged, std::regex("^<11>.* vzrmaud\\[\\d+\\]: "
                                                     "VelmoraZRMAuditor error 0xC0000002")))
        << logged;
    EXPECT_NE(logged.find("has not been installed"), std::string::npos) << logged;
}

TEST_F(Vzrmaud, AFailedRunNamesItsFileInTheSummaryTheApplicationLogAndOnStandardError) {
    Install();
    const std::string missing = dir.File("nowhere/Security.evtx");
    const test::CommandResult run =
        test::RunCommand(Command(std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'", missing) +
                         " 2>'" + dir.File("stderr") + "'");
    EXPECT_EQ(run.status, 1);
    // One line, for cron's mail and a person at a terminal.
    EXPECT_EQ(ReadText(dir.File("stderr")),
              "vzrmaud: The system cannot find the file specified: " + missing + "\n");
    EXPECT_NE(ReadText(reports + "/_ZRMAudit_summary.txt").find("STRG: [" + missing + "]"),
              std::string::npos);
    EXPECT_NE(ReadText(dir.File("application.log")).find("STRG: [" + missing + "]"),
              std::string::npos)
        << ReadText(dir.File("application.log"));
}

TEST_F(Vzrmaud, ASecondInstanceIsRefused) {
    Install();
    // Another instance holds the machine-wide instance lock.
    const std::string locks = dir.File("locks") + "/global";
    std::filesystem::create_directories(locks);
    const std::string lock = locks + "/Quorvix_ZRMAU_MutexGlobal.lock";
    const test::CommandResult second =
        Run("flock '" + lock + "' " + VZRMAUD_PATH + " -c -rf '" + reports + "'");
    EXPECT_EQ(second.status, 3) << second.output;
    EXPECT_NE(ReadText(dir.File("application.log"))
                  .find("The Velmora ZRM Auditor is running already. The application does not "
                        "support concurrent user sessions."),
              std::string::npos)
        << ReadText(dir.File("application.log"));
    EXPECT_TRUE(ReportFiles().empty());
}

// A second start on the desktop hands its show command to the running
// window and ends quietly; a DISPLAY whose session has ended is unattended.
TEST_F(Vzrmaud, ASecondStartOnTheDesktopShowsTheRunningInstance) {
    Install();
    // The channel is scoped by the lock folder, like the instance lock.
    setenv("VZRM_LOCK_DIR", dir.File("locks").c_str(), 1);
    std::string display;
    {
        LiveDisplay desktop;
        display = desktop.Name();
        platform::posix::CInstanceListener running;
        ASSERT_TRUE(running.Listen("Quorvix_ZRMAU_Class"));
        const test::CommandResult minimized = Run(std::string(VZRMAUD_PATH) + " -m", "", display);
        EXPECT_EQ(minimized.status, 0);
        EXPECT_EQ(minimized.output, "");
        EXPECT_EQ(running.TakeShowRequest(), std::optional<std::int32_t>(6));
        EXPECT_EQ(Run(std::string(VZRMAUD_PATH), "", display).status, 0);
        EXPECT_EQ(running.TakeShowRequest(), std::optional<std::int32_t>(1));
        // Without a display there is no window to show: the lock decides.
        EXPECT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
        EXPECT_FALSE(running.TakeShowRequest().has_value());
    }
    unsetenv("VZRM_LOCK_DIR");

    const std::string locks = dir.File("locks") + "/global";
    const test::CommandResult refused =
        Run("flock '" + locks + "/Quorvix_ZRMAU_MutexGlobal.lock' " + VZRMAUD_PATH + " -c -rf '" +
                reports + "'",
            "", display);
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(
        ReadText(dir.File("application.log")).find("The Velmora ZRM Auditor is running already."),
        std::string::npos)
        << "the display has gone: the message goes to the Application log";
}

// vzrmaud itself has no Qt (an unattended start would spend most of its time
// loading it); on a desktop the window's program, found from where vzrmaud's
// file is, takes over the process.
TEST_F(Vzrmaud, OnlyADesktopStartRunsTheWindowsProgram) {
    const test::CommandResult libraries = test::RunCommand(std::string("ldd ") + VZRMAUD_PATH);
    ASSERT_EQ(libraries.status, 0);
    EXPECT_EQ(libraries.output.find("libQt"), std::string::npos) << libraries.output;

    Install();
    setenv("VZRM_LOCK_DIR", dir.File("locks").c_str(), 1);
    {
        LiveDisplay desktop;
        platform::posix::CInstanceListener running;
        ASSERT_TRUE(running.Listen("Quorvix_ZRMAU_Class"));
        // Started through a link in another folder, as from a menu's symlink.
        std::filesystem::create_directories(dir.File("links"));
        std::filesystem::create_symlink(VZRMAUD_PATH, dir.File("links/vzrmaud"));
        const test::CommandResult linked =
            Run(dir.File("links/vzrmaud") + " -m", "", desktop.Name());
        EXPECT_EQ(linked.status, 0) << linked.output;
        EXPECT_EQ(running.TakeShowRequest(), std::optional<std::int32_t>(6))
            << "the window's program handed the show command on";

        // A copy without the window's program beside it says what is missing.
        std::filesystem::create_directories(dir.File("bin"));
        std::filesystem::copy_file(VZRMAUD_PATH, dir.File("bin/vzrmaud"));
        const test::CommandResult alone = Run(dir.File("bin/vzrmaud"), "", desktop.Name());
        EXPECT_EQ(alone.status, 3);
        const std::string missing = "The window's program " + dir.File("libexec/vzrmaud-window") +
                                    " could not be started: No such file or directory";
        EXPECT_NE(alone.output.find(missing), std::string::npos) << alone.output;
        EXPECT_NE(ReadText(ApplicationLog()).find(missing), std::string::npos)
            << "a start from a menu has no terminal";
        EXPECT_FALSE(running.TakeShowRequest().has_value());
        // Without a desktop the copy runs unattended and needs no window.
        EXPECT_EQ(Run(dir.File("bin/vzrmaud") + " -c -rf '" + reports + "'").status, 0);
    }
    unsetenv("VZRM_LOCK_DIR");
}

// Installed, the window's program finds the message files where vzrmaud
// does: without SystemRoot the installation record's %SystemRoot% is the
// program's data folder, share/vzrmaud beside its own folder.
TEST_F(Vzrmaud, InstalledTheWindowsProgramFindsTheProgramsData) {
    const std::filesystem::path build =
        std::filesystem::path(VZRMAUD_PATH).parent_path().parent_path();
    const std::string prefix = dir.File("prefix");
    const test::CommandResult installed =
        test::RunCommand("cmake --install '" + build.string() + "' --prefix '" + prefix +
                         "' --component program 2>&1");
    ASSERT_EQ(installed.status, 0) << installed.output;
    Install();
    {
        LiveDisplay desktop;
        const test::CommandResult run =
            Run("env -u SystemRoot QT_QPA_PLATFORM=offscreen timeout 60 '" + prefix +
                    "/bin/vzrmaud' -c -rf '" + reports + "'",
                "", desktop.Name());
        ASSERT_EQ(run.status, 0) << run.output;
    }
    // A run that found no message files reports nothing and still moves the dates.
    EXPECT_EQ(ReportFiles().size(), 1u) << Summary();
}

TEST_F(Vzrmaud, OnATerminalTheRunShowsHowFarTheReadIs) {
    Install();
    // Standard error on a pseudo-terminal, as for an administrator at a shell.
    const test::CommandResult run =
        Run("python3 '" + std::string(VZRM_SOURCE_DIR) + "/tests/support/run_in_pty.py' \"" +
            VZRMAUD_PATH + " -c -rf '" + reports + "'\"");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReportFiles().size(), 1u);
    const std::string& shown = run.output;
    EXPECT_EQ(shown.rfind("\rvzrmaud: 7 events, ", 0), 0u) << shown;
    // The line is wiped at the end and nothing else is written.
    ASSERT_GE(shown.size(), 3u);
    const std::size_t wipe = shown.rfind('\r', shown.size() - 2);
    EXPECT_EQ(shown.substr(wipe), "\r" + std::string(shown.size() - wipe - 2, ' ') + "\r");
    EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;
}

}  // namespace
}  // namespace vzrm
