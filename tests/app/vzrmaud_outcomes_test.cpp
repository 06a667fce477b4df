// How runs of the built vzrmaud end when something goes wrong around them: an
// ordinary user, a busy or damaged or read-only store, a summary that cannot
// grow, a signal, a fault. Each checks the exit status, the summary, the
// report files, the Application log and the dates read back from the store.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>

#include "app/vzrmaud_fixture.h"
#include "base/local_date_time.h"
#include "platform/posix/instance_channel.h"
#include "support/log_files.h"

namespace vzrm {
namespace {

const std::regex kStamp(R"(\d\d\d\d-\d\d-\d\d \d\d:\d\d:\d\d)");
const char kOptions[] = "HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options";
// A framed value of an unknown type (9): the options cannot be read whole.
const char kBrokenFrame[] = "68967916090000000000";

class Outcomes : public Vzrmaud {
  protected:
    // A first, completed run; its stored dates.
    std::pair<double, double> FirstRun() {
        const test::CommandResult first = Audit("-c -rf '" + reports + "'");
        EXPECT_EQ(first.status, 0) << first.output;
        return {StoredDate("LastDateProc"), StoredDate("LastDateData")};
    }
    // Runs of the same second store the same period end; a test that wants a new one waits.
    static void WaitForTheNextSecond() {
        const std::time_t start = std::time(nullptr);
        while (std::time(nullptr) == start) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    void ExpectDates(const std::pair<double, double>& dates) {
        EXPECT_EQ(StoredDate("LastDateProc"), dates.first);
        EXPECT_EQ(StoredDate("LastDateData"), dates.second);
    }
    std::string ApplicationLogText() const { return ReadText(ApplicationLog()); }
    // A run that did not fail leaves only the record of how it ended.
    void ExpectOnlyRunEndRecords() const {
        const std::string logged = ApplicationLogText();
        EXPECT_NE(logged.find("VelmoraZRMAuditor information 0x40000005\n"), std::string::npos)
            << logged;
        EXPECT_EQ(logged.find(" error 0x"), std::string::npos) << logged;
        EXPECT_EQ(logged.find(" warning 0x"), std::string::npos) << logged;
    }
    // The summary's blocks, their times replaced by T.
    std::vector<std::string> Blocks() const {
        const std::string summary = std::regex_replace(Summary(), kStamp, "T");
        std::vector<std::string> blocks;
        const std::string end = "------------------------------\r\n";
        for (std::size_t at = 0, next; (next = summary.find(end, at)) != std::string::npos;
             at = next + end.size()) {
            blocks.push_back(summary.substr(at, next + end.size() - at));
        }
        return blocks;
    }
    // A run held after the report's first line (its partial report exists)
    // gets the signal; the output ends with its exit status.
    test::CommandResult HeldRunSignalled(const std::string& signal) {
        return test::RunCommand("VZRM_TEST_HOOK=hold-run " +
                                Command(std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'") +
                                " & pid=$!\n"
                                "for i in $(seq 600); do\n"
                                "  for f in '" +
                                reports +
                                "'/ZRMAudit_*.csv.part; do [ -s \"$f\" ] && break 2; done\n"
                                "  sleep 0.05\n"
                                "done\n"
                                "kill -" +
                                signal + " $pid; wait $pid; echo \"status=$?\"");
    }
    static bool HooksBuilt() {
#ifdef VZRM_TEST_HOOKS_BUILT
        return true;
#else
        return false;
#endif
    }
};

const char kInterrupted[] =
    "Start of processing: T\r\nLast date of processing: T\r\nProcessed events: 0\r\n"
    "Audit report hasn't been created. Operation is interrupted.\r\n"
    "------------------------------\r\n";

TEST_F(Outcomes, AnOrdinaryUserReadsTheInstalledMachineHive) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run as nobody";
    }
    BecomeNobody();
    Install();
    const double before = OleNow();
    const test::CommandResult run = Audit("-c -rf '" + reports + "'");
    ASSERT_EQ(run.status, 0) << run.output << ApplicationLogText();
    ASSERT_EQ(ReportFiles().size(), 1u);
    ASSERT_EQ(Blocks().size(), 1u);
    EXPECT_NE(Blocks()[0].find("Processed events: 3\r\nAudit report: " + ReportFiles()[0]),
              std::string::npos);
    ExpectOnlyRunEndRecords();
    // The dates are in the user's own hive.
    const double second = 1.0 / 86400;
    EXPECT_GE(StoredDate("LastDateProc"), before - 3 * second);
    EXPECT_EQ(StoredDate("LastDateData"),
              CLocalDateTime::FromFields(2026, 3, 14, 8, 5, 37).GetOleValue());

    const test::CommandResult query = Run(std::string(VZRMREG_PATH) +
                                          " query 'HKLM\\Software\\Quorvix\\VelmoraZRMAuditor\\"
                                          "ProductVersion' /v NumbBuild");
    EXPECT_EQ(query.status, 0) << query.output;
    EXPECT_NE(query.output.find("0x19e"), std::string::npos) << query.output;
    const test::CommandResult write =
        Run(std::string(VZRMREG_PATH) + " add 'HKLM\\Software\\Quorvix' /v X /d y");
    EXPECT_EQ(write.status, 1);
    EXPECT_NE(write.output.find("(5)"), std::string::npos) << write.output;
}

// cron's timeout or systemd stopping the unit in the middle of a run: the
// run ends as interrupted, as closing the window ends it.
TEST_F(Outcomes, ATermSignalInterruptsTheRun) {
    if (geteuid() != 0 || !HooksBuilt()) {
        GTEST_SKIP() << "needs root to run as nobody and a build with the test hooks";
    }
    BecomeNobody();
    Install();
    const auto dates = FirstRun();
    const test::CommandResult run = HeldRunSignalled("TERM");
    EXPECT_NE(run.output.find("status=2"), std::string::npos) << run.output;
    ASSERT_EQ(Blocks().size(), 2u);
    EXPECT_EQ(Blocks()[1], kInterrupted);
    EXPECT_EQ(ReportFiles().size(), 1u) << "the interrupted run's report is gone";
    ExpectOnlyRunEndRecords();
    ExpectDates(dates);
}

// A dropped SSH connection, a closed pipe, a timer or a user's signal: each
// interrupts the run as SIGTERM does, and no partial report stays.
TEST_F(Outcomes, EverySignalThatEndsASessionInterruptsTheRun) {
    if (!HooksBuilt()) {
        GTEST_SKIP() << "needs a build with the test hooks";
    }
    Install();
    const auto dates = FirstRun();
    std::size_t blocks = 1;
    for (const char* signal : {"HUP", "QUIT", "USR1", "USR2", "ALRM", "PIPE"}) {
        const test::CommandResult run = HeldRunSignalled(signal);
        EXPECT_NE(run.output.find("status=2"), std::string::npos) << signal << "\n" << run.output;
        ASSERT_EQ(Blocks().size(), ++blocks) << signal;
        EXPECT_EQ(Blocks().back(), kInterrupted) << signal;
        EXPECT_EQ(ReportFiles().size(), 1u) << signal << ": the interrupted run's report is gone";
    }
    ExpectDates(dates);
}

TEST_F(Outcomes, OptionsThatCannotBeReadAreNeitherUsedNorWrittenBack) {
    Install();
    const auto dates = FirstRun();
    // Another process holds the options lock through the whole start-up.
    std::string lock;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Locks())) {
        if (entry.path().filename().string().find("_ZRMOPT") != std::string::npos) {
            lock = entry.path().string();
        }
    }
    ASSERT_FALSE(lock.empty());
    const test::CommandResult locked =
        Run("flock '" + lock + "' " + VZRMAUD_PATH + " -c -rf '" + reports + "'");
    EXPECT_EQ(locked.status, 1) << locked.output;
    EXPECT_NE(ApplicationLogText().find("Code : 1460"), std::string::npos);
    EXPECT_NE(ApplicationLogText().find("Point: XHPLIIKOJEKPQTA:LWE1B1PIKG5IOG3"),
              std::string::npos)
        << ApplicationLogText();
    EXPECT_EQ(Blocks().size(), 1u);
    EXPECT_EQ(ReportFiles().size(), 1u);
    ExpectDates(dates);

    // One value of the profile that cannot be read.
    ASSERT_EQ(Run(std::string(VZRMREG_PATH) + " add '" + kOptions +
                  "' /v Broken /t REG_BINARY /d " + kBrokenFrame)
                  .status,
              0);
    const test::CommandResult broken = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(broken.status, 1) << broken.output;
    EXPECT_NE(ApplicationLogText().find("Point: XHPLIIKOJEKPQTA:RZK7VW47FGGSBNA"),
              std::string::npos)
        << ApplicationLogText();
    EXPECT_EQ(Blocks().size(), 1u);
    ExpectDates(dates);
    EXPECT_EQ(Run(std::string(VZRMREG_PATH) + " query '" + kOptions + "' /v Broken").status, 0);
}

TEST_F(Outcomes, DatesTheStoreRefusesFailTheRun) {
    Install();
    const auto dates = FirstRun();
    // No write bit on the user's hive: read-only, even for root.
    ASSERT_EQ(chmod(dir.File("store/HKCU.db").c_str(), 0444), 0);
    const test::CommandResult run = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(ApplicationLogText().find("Point: QWRUEOZUKNOMVPP:7BPMSXEP5EIUGFE"),
              std::string::npos)
        << ApplicationLogText();
    EXPECT_NE(ApplicationLogText().find("Code : 5 (0x5)"), std::string::npos);
    ASSERT_EQ(Blocks().size(), 2u);
    EXPECT_NE(Blocks()[1].find("The error occurred"), std::string::npos) << Blocks()[1];
    ExpectDates(dates);
}

// The store takes no dates while the report has rows: no block may name the
// report, which the next run would repeat; that run reports the rows once.
TEST_F(Outcomes, ARefusedDateWriteLeavesNoReportNamedAndTheNextRunReportsTheRows) {
    Install();
    ASSERT_EQ(chmod(dir.File("store/HKCU.db").c_str(), 0444), 0);
    const test::CommandResult refused = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(refused.status, 1) << refused.output;
    ASSERT_EQ(Blocks().size(), 1u);
    EXPECT_EQ(Blocks()[0].find("Audit report: "), std::string::npos) << Blocks()[0];
    EXPECT_NE(Blocks()[0].find("The error occurred:\r\n\r\n"), std::string::npos) << Blocks()[0];
    EXPECT_NE(Blocks()[0].find("QWRUEOZUKNOMVPP"), std::string::npos) << Blocks()[0];
    EXPECT_NE(ApplicationLogText().find("QWRUEOZUKNOMVPP"), std::string::npos);
    EXPECT_TRUE(ReportFiles().empty());

    ASSERT_EQ(chmod(dir.File("store/HKCU.db").c_str(), 0644), 0);
    WaitForTheNextSecond();
    const test::CommandResult next = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(next.status, 0) << next.output;
    ASSERT_EQ(ReportFiles().size(), 1u);
    ASSERT_EQ(Blocks().size(), 2u);
    EXPECT_NE(Blocks()[1].find("Processed events: 3\r\nAudit report: " + ReportFiles()[0]),
              std::string::npos)
        << Blocks()[1];
}

TEST_F(Outcomes, AFailedMoveOfTheOptionsIsShownAndLosesNothing) {
    Install("00000000");
    const auto dates = FirstRun();
    ASSERT_EQ(Run(std::string(VZRMREG_PATH) + " add '" + kOptions +
                  "' /v Broken /t REG_BINARY /d " + kBrokenFrame)
                  .status,
              0);
    // The installation now shares the options: they cannot be moved.
    Install("00000001");
    const test::CommandResult run = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string log = ApplicationLogText();
    EXPECT_NE(log.find("Point: ZIQVRKEMYOTODYM:PSCMQFKNQOIBRAG"), std::string::npos) << log;
    EXPECT_NE(log.find("Code : 13 (0xD)"), std::string::npos) << log;
    EXPECT_EQ(Blocks().size(), 1u);
    ExpectDates(dates);
    // The move is tried again next time; nothing went to the machine hive.
    EXPECT_EQ(Run(std::string(VZRMREG_PATH) +
                  " query 'HKLM\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles'")
                  .status,
              1);
    EXPECT_NE(Run(std::string(VZRMREG_PATH) +
                  " query 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\OptionVersion' /v CommonSet")
                  .output.find("0x0"),
              std::string::npos);
}

TEST_F(Outcomes, AMoveTheMachineHiveRefusesKeepsTheUsersOptionsInUse) {
    Install("00000000");
    const auto dates = FirstRun();
    WaitForTheNextSecond();
    Install("00000001");
    ASSERT_EQ(chmod(dir.File("store/HKLM.db").c_str(), 0444), 0);
    const test::CommandResult run = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 0) << run.output << ApplicationLogText();
    // The period went on from the stored dates: nothing reported twice.
    ASSERT_EQ(Blocks().size(), 2u);
    EXPECT_NE(Blocks()[1].find("Processed events: 0\r\n"), std::string::npos) << Blocks()[1];
    EXPECT_GT(StoredDate("LastDateProc"), dates.first);
}

TEST_F(Outcomes, ASummaryThatCannotGrowFailsTheRunAndKeepsTheDates) {
    Install();
    const auto dates = FirstRun();
    // The summary is just below the file size limit (1 MiB).
    const std::string summary = reports + "/_ZRMAudit_summary.txt";
    std::filesystem::resize_file(summary, 1024 * 1024 - 40);
    const test::CommandResult run = Run("sh -c 'ulimit -f 2048; exec " + std::string(VZRMAUD_PATH) +
                                        " -c -rf \"" + reports + "\"'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(ApplicationLogText().find("RZSNWPKHEQADVKT"), std::string::npos)
        << ApplicationLogText();
    // No half block: what did not fit was taken back.
    EXPECT_EQ(std::filesystem::file_size(summary), 1024 * 1024 - 40u);
    EXPECT_EQ(ReportFiles().size(), 1u);
    ExpectDates(dates);
}

TEST_F(Outcomes, AFaultDuringARunWritesTheCrashReport) {
    if (!HooksBuilt()) {
        GTEST_SKIP() << "needs a build with the test hooks";
    }
    Install();
    const auto dates = FirstRun();
    const test::CommandResult run = Run("VZRM_TEST_HOOK=fault-in-run " + std::string(VZRMAUD_PATH) +
                                        " -c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string log = ApplicationLogText();
    EXPECT_NE(log.find("Point: RJECRZEKBFFBHWJ"), std::string::npos) << log;
    EXPECT_NE(log.find("Text : Unexpected program exception C0000005 (ACCESS_VIOLATION)"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("LOADED MODULES >>"), std::string::npos);
    ASSERT_EQ(Blocks().size(), 2u);
    EXPECT_NE(Blocks()[1].find("Processed events: 0\r\nAudit report hasn't been created. The "
                               "error occurred:\r\n\r\nText : Unexpected program exception"),
              std::string::npos)
        << Blocks()[1];
    EXPECT_EQ(ReportFiles().size(), 1u);
    ExpectDates(dates);
}

TEST_F(Outcomes, AnEmptyClassicLogIsAnEmptyPeriod) {
    Install();
    test::WriteEvt(dir.File("Security.evt"), "");
    const test::CommandResult run = Audit("-c -rf '" + reports + "'", dir.File("Security.evt"));
    EXPECT_EQ(run.status, 0) << run.output << ApplicationLogText();
    EXPECT_TRUE(ReportFiles().empty());
    ASSERT_EQ(Blocks().size(), 1u);
    EXPECT_EQ(Blocks()[0],
              "Start of processing: T\r\nLast date of processing: \r\nProcessed events: 0\r\n"
              "Audit report hasn't been created. The data is absent for the processed "
              "period.\r\nStop of processing: T\r\n------------------------------\r\n");
    ExpectOnlyRunEndRecords();
    EXPECT_GT(StoredDate("LastDateProc"), 0);
    EXPECT_EQ(StoredDate("LastDateData"), 0);
}

TEST_F(Outcomes, AWorkerThatCannotStartFailsTheRun) {
    if (!HooksBuilt()) {
        GTEST_SKIP() << "needs a build with the test hooks";
    }
    Install();
    const auto dates = FirstRun();
    const test::CommandResult run = Run("VZRM_TEST_HOOK=no-worker-thread " +
                                        std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    ASSERT_EQ(Blocks().size(), 2u);
    EXPECT_NE(Blocks()[1].find("The error occurred:\r\n\r\nText : "), std::string::npos);
    EXPECT_NE(Blocks()[1].find("Code : 155 (0x9B)"), std::string::npos) << Blocks()[1];
    EXPECT_NE(Blocks()[1].find("Point: LYHDNFUPKOJYNSY"), std::string::npos) << Blocks()[1];
    EXPECT_EQ(ReportFiles().size(), 1u);
    ExpectDates(dates);
}

// -c handed to a running window makes no report: that is no success.
TEST_F(Outcomes, ARunHandedToARunningInstanceIsRefused) {
    Install();
    setenv("VZRM_LOCK_DIR", Locks().c_str(), 1);
    {
        LiveDisplay desktop;
        platform::posix::CInstanceListener running;
        ASSERT_TRUE(running.Listen("Quorvix_ZRMAU_Class"));
        const test::CommandResult handed =
            Run(std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'", "", desktop.Name());
        EXPECT_EQ(handed.status, 3) << handed.output;
        EXPECT_EQ(running.TakeShowRequest(), std::optional<std::int32_t>(1));
    }
    unsetenv("VZRM_LOCK_DIR");
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_FALSE(std::filesystem::exists(reports + "/_ZRMAudit_summary.txt"));
}

}  // namespace
}  // namespace vzrm
