// Report runs through the real controller, worker thread, readers and store,
// with a test host standing in for the window.
#include "report/report_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "platform/posix/sqlite_registry.h"
#include "report/headless_host.h"
#include "report/progress_line.h"
#include "report/report_file.h"
#include "report/report_seal.h"
#include "report/seal_verify.h"
#include "report/stored_dates.h"
#include "settings/options_profiles.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/site_scenario.h"

namespace vzrm {
namespace {

const char kApp[] = "Software\\Quorvix\\VelmoraZRMAuditor";

class TestHost : public IRunHost {
  public:
    int AskYesNo(const std::string& text, std::uint32_t style) override {
        questions.push_back({text, style});
        return answer;
    }
    void ShowInformation(const std::string& text, std::uint32_t style) override {
        information.push_back({text, style});
    }
    void ShowErrorInfo() override { shownErrors.push_back(g_errorInfo.Render()); }
    void ShowView() override { unattended = false; }
    void FocusFolderField() override { ++focused; }
    bool ReadFolderField(std::string& out) override {
        out = folder;
        return true;
    }
    void ShowLastDate(const std::string& text) override { lastDate = text; }
    void EnableRunControls(bool enable) override { controlsEnabled = enable; }
    void ResetTitle() override {}
    void CloseFrame() override { ++closeRequests; }
    bool ClosePending() const override { return closePending; }
    void ClearClosePending() override { closePending = false; }
    bool IsUnattended() const override { return unattended; }
    void ReportEvent(std::uint32_t id, const std::string& text) override {
        logged.push_back({text, id});
    }
    void ReportErrorRecord() override { logged.push_back({g_errorInfo.Render(), 0xC0000002}); }
    IRunMessageTarget& MessageTarget() override { return queue; }

    struct Shown {
        std::string text;
        std::uint32_t style;
    };
    int answer = IDYES;
    std::vector<Shown> questions, information, logged;
    std::vector<std::string> shownErrors;
    std::string folder, lastDate;
    int focused = 0, closeRequests = 0;
    bool controlsEnabled = true, closePending = false, unattended = false;
    CRunMessageQueue queue;
};

// A run whose worker waits at its first row until the test lets it go on.
class GatedRun : public CReportRun {
  public:
    using CReportRun::CReportRun;
    bool AppendToReport(const std::string& text) override {
        if (text.rfind("2026.", 0) == 0) {
            std::unique_lock lock(mutex);
            atRow = true;
            changed.notify_all();
            changed.wait(lock, [this] { return open; });
        }
        return CReportRun::AppendToReport(text);
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool atRow = false, open = false;
};

using test::kScenario;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RecordingLog : public platform::IApplicationEventLog {
  public:
    bool Write(const std::string&, std::uint16_t, std::uint32_t eventId,
               const std::vector<std::string>& strings) override {
        events.push_back({eventId, strings.empty() ? std::string() : strings[0]});
        return true;
    }
    std::vector<std::pair<std::uint32_t, std::string>> events;
};

class ReportRun : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errorInfo.Clear();
        RunState::End();
        test::WriteEvtx(store.Dir().File("Security.evtx"), kScenario);
        std::filesystem::create_directory(reports);
        host.folder = reports + "/";
        ASSERT_TRUE(options.ReadRegOpt(kApp, platform::HKEY_CURRENT_USER));
    }

    // Starts a run as the Start button does and handles its messages to the end.
    void Run(CReportRun& run) {
        run.OnStartButton();
        Pump(run);
    }
    void Pump(CReportRun& run) {
        for (;;) {
            const std::optional<RunMessage> message =
                g_bRunning ? std::optional(host.queue.Wait()) : host.queue.TryTake();
            if (!message) {
                return;
            }
            run.HandleMessage(*message);
        }
    }
    void SetStoredDate(const char* name, const CLocalDateTime& time) {
        const double value = time.GetOleValue();
        std::uint8_t bytes[8];
        std::memcpy(bytes, &value, 8);
        options.SetOptBin(name, bytes, 8);
    }
    CLocalDateTime StoredDate(const char* name) {
        std::uint8_t bytes[8] = {};
        double value = 0;
        EXPECT_EQ(options.GetOptBin(name, bytes, 8), 8u);
        std::memcpy(&value, bytes, 8);
        return CLocalDateTime::FromOleValue(value);
    }
    std::vector<std::string> ReportFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(reports)) {
            if (entry.path().filename().string().rfind("ZRMAudit_", 0) == 0) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }
    std::string Summary() const { return ReadText(reports + "/_ZRMAudit_summary.txt"); }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    test::ScopedEnv log{"VZRM_SECURITY_LOG", store.Dir().File("Security.evtx").c_str()};
    test::FakeClock clock;  // 2026-03-14 09:05:33 UTC; tests run in UTC
    test::FakeLocale locale;
    RecordingLog applicationLog;
    test::ScopedServices services{{.clock = &clock,
                                   .locale = &locale,
                                   .registry = &store.Registry(),
                                   .applicationLog = &applicationLog,
                                   .sealKeys = &store.SealKeys()}};
    // The unattended host's Application log, written through the services.
    CEventLogWriter writer = [] {
        CEventLogWriter opened;
        opened.Open(kEventSource);
        return opened;
    }();
    std::string reports = store.Dir().File("reports");
    CMainOpt options;
    TestHost host;
};

TEST_F(ReportRun, TheFirstRunWritesReportSummaryAndDates) {
    CReportRun run(options, host);
    run.LoadStoredDates();
    EXPECT_EQ(host.lastDate, "");
    Run(run);
    EXPECT_TRUE(host.shownErrors.empty()) << host.shownErrors[0];
    ASSERT_EQ(ReportFiles(), std::vector<std::string>{"ZRMAudit_20260314_090531.csv"});
    const std::string report = ReadText(reports + "/ZRMAudit_20260314_090531.csv");
    EXPECT_EQ(report.rfind("Start of processing: 14.03.2026 09:05:31\r\n\r\nDate;Time;", 0), 0u);
    EXPECT_NE(report.find(";old.zrm;Delete;"), std::string::npos);
    const std::string reportPath = reports + "/ZRMAudit_20260314_090531.csv";
    EXPECT_EQ(Summary(),
              "Start of processing: 14.03.2026 09:05:31\r\n"
              "Last date of processing: \r\n"
              "Processed events: 3\r\n"
              "Audit report: " +
                  reportPath +
                  "\r\n"
                  "Stop of processing: 14.03.2026 09:05:33\r\n"
                  "------------------------------\r\n");
    ASSERT_EQ(host.information.size(), 1u);
    EXPECT_EQ(host.information[0].text,
              "Creating of report was finished successfully.\r\n\r\nAudit report: " + reportPath +
                  "\r\n\r\nSummary report: " + reports +
                  "/_ZRMAudit_summary.txt\r\n\r\nSeal: " + reports + "/_ZRMAudit_seal.txt");
    EXPECT_EQ(host.information[0].style, 0x40u);
    EXPECT_EQ(StoredDate("LastDateProc"), CLocalDateTime::FromFields(2026, 3, 14, 9, 5, 31));
    EXPECT_EQ(StoredDate("LastDateData"), CLocalDateTime::FromFields(2026, 3, 14, 8, 5, 37));
    EXPECT_EQ(host.lastDate, "14.03.2026 09:05:31");
    EXPECT_EQ(options.GetOptStr("LogFold"), reports + "/");
    EXPECT_TRUE(host.controlsEnabled);
    EXPECT_FALSE(g_bRunning || g_bInterruptible || g_bStopRequested);
}

TEST_F(ReportRun, ASecondRunAppendsABlockAndAnEmptyPeriodLeavesNoReport) {
    CReportRun run(options, host);
    run.LoadStoredDates();
    Run(run);
    clock.SetInstant(1773479193);  // a minute later
    Run(run);
    EXPECT_EQ(ReportFiles(), std::vector<std::string>{"ZRMAudit_20260314_090531.csv"});
    const std::string summary = Summary();
    const std::string second = summary.substr(summary.find("-\r\n") + 3);
    EXPECT_EQ(second,
              "Start of processing: 14.03.2026 09:06:31\r\n"
              "Last date of processing: 14.03.2026 09:05:31\r\n"
              "Processed events: 0\r\n"
              "Audit report hasn't been created. The data is absent for the processed period.\r\n"
              "Stop of processing: 14.03.2026 09:06:33\r\n"
              "------------------------------\r\n");
    ASSERT_EQ(host.information.size(), 2u);
    EXPECT_EQ(host.information[1].text.rfind("Audit report hasn't been created. The data is "
                                             "absent for the processed period.\r\n\r\nSummary "
                                             "report: ",
                                             0),
              0u);
    EXPECT_EQ(StoredDate("LastDateProc"), CLocalDateTime::FromFields(2026, 3, 14, 9, 6, 31));

    // A new program run starts where the stored dates say.
    CReportRun later(options, host);
    later.LoadStoredDates();
    EXPECT_EQ(later.PeriodStart(), CLocalDateTime::FromFields(2026, 3, 14, 9, 6, 31));
    // The period held no event, so there is no newest one to compare with.
    EXPECT_EQ(later.LastDataTime().GetStatus(), CLocalDateTime::Status::null);
}

TEST_F(ReportRun, LostEventsAreAskedAboutOrNotedInTheSummary) {
    SetStoredDate("LastDateData", CLocalDateTime::FromFields(2026, 3, 14, 7, 0, 0));
    const std::string loss =
        "ATTENTION!\r\nThe program has found loss of the system data in the range "
        "14.03.2026 07:00:00 - 14.03.2026 08:05:30.";
    {
        CReportRun run(options, host);
        run.LoadStoredDates();
        host.answer = IDNO;
        Run(run);
        ASSERT_EQ(host.questions.size(), 1u);
        EXPECT_EQ(host.questions[0].text, loss + "\r\n\r\nDo you want to start the processing?");
        EXPECT_EQ(host.questions[0].style, 0x24u);
        EXPECT_FALSE(std::filesystem::exists(reports + "/_ZRMAudit_summary.txt"));
        EXPECT_TRUE(host.shownErrors.empty());
    }
    {
        CReportRun run(options, host);
        run.LoadStoredDates();
        host.unattended = true;
        run.SetCloseAfterRun(true);
        Run(run);
        EXPECT_EQ(host.questions.size(), 1u);
        EXPECT_EQ(Summary().find("Start of processing: 14.03.2026 09:05:31\r\n" + loss +
                                 "Last date of processing: \r\nProcessed events: 3\r\n"),
                  0u)
            << Summary();
        EXPECT_EQ(host.closeRequests, 1);
        EXPECT_TRUE(host.information.empty());
    }
}

TEST_F(ReportRun, AnUnreadableLogGivesAnEmptyOldestDateAndAFailedBlock) {
    SetStoredDate("LastDateProc", CLocalDateTime::FromFields(2026, 3, 14, 6, 0, 0));
    SetStoredDate("LastDateData", CLocalDateTime::FromFields(2026, 3, 14, 7, 0, 0));
    test::ScopedEnv missing("VZRM_SECURITY_LOG", store.Dir().File("missing.evtx").c_str());
    CReportRun run(options, host);
    run.LoadStoredDates();
    Run(run);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_NE(host.questions[0].text.find("in the range 14.03.2026 07:00:00 - .\r\n"),
              std::string::npos);
    EXPECT_TRUE(ReportFiles().empty());
    const std::string summary = Summary();
    EXPECT_EQ(summary.find("Start of processing: 14.03.2026 09:05:31\r\n"
                           "Last date of processing: 14.03.2026 06:00:00\r\n"
                           "Processed events: 0\r\n"
                           "Audit report hasn't been created. The error occurred:\r\n\r\n"),
              0u)
        << summary;
    EXPECT_NE(summary.find("BEHTYXDEMCYVUSO"), std::string::npos);
    EXPECT_EQ(summary.substr(summary.size() - 36), "\r\n\r\n------------------------------\r\n");
    ASSERT_EQ(host.shownErrors.size(), 1u);
    // The stored dates stay; the failed run's news of the log reaches the view only.
    EXPECT_EQ(StoredDate("LastDateProc"), CLocalDateTime::FromFields(2026, 3, 14, 6, 0, 0));
    EXPECT_EQ(run.LastDataTime().GetStatus(), CLocalDateTime::Status::null);
}

TEST_F(ReportRun, AnEmptyOrMissingFolderEndsTheRunBeforeAnyFile) {
    host.folder = "";
    CReportRun run(options, host);
    Run(run);
    ASSERT_EQ(host.shownErrors.size(), 1u);
    EXPECT_NE(host.shownErrors[0].find("The folder name for reports is empty."), std::string::npos);
    EXPECT_EQ(host.focused, 1);
    // Refused before the folder is stored.
    EXPECT_TRUE(g_errorInfo.GetPoints().rfind("KQVWLHKZDQWKCUC:URXZJGMHMBVJKLU", 0) == 0)
        << g_errorInfo.GetPoints();

    host.folder = reports + "/nowhere/";
    Run(run);
    ASSERT_EQ(host.shownErrors.size(), 2u);
    EXPECT_NE(host.shownErrors[1].find("The folder '" + reports +
                                       "/nowhere/' is invalid or "
                                       "does not exist."),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(reports + "/_ZRMAudit_summary.txt"));
    EXPECT_EQ(options.GetOptBin("LastDateProc", nullptr, 0), 0u);
}

TEST_F(ReportRun, InterruptingAsksAndYesEndsTheRunWithoutAReport) {
    GatedRun run(options, host);
    run.OnStartButton();
    {
        std::unique_lock lock(run.mutex);
        run.changed.wait(lock, [&] { return run.atRow; });
    }
    host.answer = IDNO;
    run.OnStartButton();  // while the worker waits at its first row
    EXPECT_FALSE(g_bStopRequested);
    host.answer = IDYES;
    run.OnStartButton();
    ASSERT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(host.questions[1].text, "Do you want to interrupt the current operation?");
    EXPECT_EQ(host.questions[1].style, 0x134u);
    EXPECT_TRUE(g_bStopRequested);
    EXPECT_FALSE(g_bInterruptible);
    {
        std::lock_guard lock(run.mutex);
        run.open = true;
    }
    run.changed.notify_all();
    Pump(run);
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_EQ(Summary(),
              "Start of processing: 14.03.2026 09:05:31\r\n"
              "Last date of processing: \r\n"
              "Processed events: 0\r\n"
              "Audit report hasn't been created. Operation is interrupted.\r\n"
              "------------------------------\r\n");
    EXPECT_TRUE(host.shownErrors.empty());
    EXPECT_TRUE(host.information.empty());
    EXPECT_EQ(options.GetOptBin("LastDateProc", nullptr, 0), 0u);
    EXPECT_FALSE(g_bStopRequested || g_bRunning);
}

TEST_F(ReportRun, OptionsThatCannotBeSavedStopTheRunAndTouchNoFile) {
    test::WriteFile(reports + "/_ZRMAudit_summary.txt", "earlier block\r\n");
    // The option mutex cannot be made under a plain file.
    test::ScopedEnv locks("VZRM_LOCK_DIR", (reports + "/_ZRMAudit_summary.txt/locks").c_str());
    CReportRun run(options, host);
    Run(run);
    ASSERT_GE(host.shownErrors.size(), 1u);
    EXPECT_EQ(g_errorInfo.GetPoints().rfind("KQVWLHKZDQWKCUC:QWRUEOZUKNOMVPP", 0), 0u)
        << g_errorInfo.GetPoints();
    EXPECT_EQ(Summary(), "earlier block\r\n");
    EXPECT_TRUE(ReportFiles().empty());
}

TEST_F(ReportRun, AUserWhoMayNotStoreTheDatesRunsButCompletesNoPeriod) {
    // The options key exists, but the user's hive can only be read.
    ASSERT_TRUE(options.WriteRegOpt());
    std::filesystem::permissions(
        store.Dir().File("HKCU.db"),
        std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    platform::posix::SqliteRegistry readOnly(
        {store.Dir().File("HKLM.db"), store.Dir().File("HKCU.db")});
    test::ScopedServices only{
        {.clock = &clock, .locale = &locale, .registry = &readOnly, .sealKeys = &store.SealKeys()}};
    CMainOpt userOptions;
    ASSERT_TRUE(userOptions.ReadRegOpt(kApp, platform::HKEY_CURRENT_USER));
    CReportRun run(userOptions, host);
    Run(run);
    // The run reads the log, but its dates cannot be stored: the block says
    // it failed and no report stays whose period the next run repeats.
    EXPECT_EQ(run.LastOutcome(), RunOutcome::failed);
    ASSERT_EQ(host.shownErrors.size(), 1u);
    EXPECT_NE(host.shownErrors[0].find("QWRUEOZUKNOMVPP"), std::string::npos);
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_TRUE(host.information.empty());
    const std::string summary = Summary();
    EXPECT_NE(summary.find("Audit report hasn't been created. The error occurred:"),
              std::string::npos)
        << summary;
    EXPECT_EQ(summary.find("Audit report: "), std::string::npos) << summary;
    EXPECT_EQ(ReadStoredDate(userOptions, kLastDateProc).GetStatus(), CLocalDateTime::Status::null);
    EXPECT_EQ(run.PeriodStart().GetStatus(), CLocalDateTime::Status::null);
}

TEST_F(ReportRun, ASummaryHeldByAnotherWriterEndsTheRunAndRemovesTheNewReport) {
    CReportFile other;
    ASSERT_FALSE(other.Open(reports + "/_ZRMAudit_summary.txt", CReportFile::Mode::keep));
    ASSERT_FALSE(other.Append("their block\r\n"));
    CReportRun run(options, host);
    Run(run);
    EXPECT_EQ(g_errorInfo.GetPoints(), "UOMUGKFFAOUMYID:UGIOMMWXTRIXVKQ:DLVDNPFAHPHUIMR");
    ASSERT_EQ(host.shownErrors.size(), 1u);
    EXPECT_NE(host.shownErrors[0].find("_ZRMAudit_summary.txt"), std::string::npos);
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_EQ(Summary(), "their block\r\n");
    EXPECT_FALSE(other.Close());
}

TEST_F(ReportRun, TheHeadlessHostRunsToTheEndAndLogsWhatItCannotShow) {
    {
        CHeadlessRunHost headless(writer, reports, "Velmora ZRM Auditor 1.0");
        CReportRun run(options, headless);
        run.LoadStoredDates();
        headless.RunUntilDone(run);
        EXPECT_TRUE(headless.CloseRequested());
        EXPECT_EQ(ReportFiles().size(), 1u);
        // The journal shows the run: one record of how it ended.
        ASSERT_EQ(applicationLog.events.size(), 1u);
        EXPECT_EQ(applicationLog.events[0].first, kRunEndEventId);
        EXPECT_NE(applicationLog.events[0].second.find("Audit report: " + reports + "/ZRMAudit_"),
                  std::string::npos)
            << applicationLog.events[0].second;
        EXPECT_NE(applicationLog.events[0].second.find("\r\nRows: "), std::string::npos);
        EXPECT_NE(applicationLog.events[0].second.find("\r\nPeriod: "), std::string::npos);
        applicationLog.events.clear();
    }
    {
        CHeadlessRunHost headless(writer, reports + "/nowhere", "Velmora ZRM Auditor 1.0");
        CReportRun run(options, headless);
        headless.RunUntilDone(run);
        EXPECT_FALSE(headless.CloseRequested());
        ASSERT_EQ(applicationLog.events.size(), 1u);
        EXPECT_EQ(applicationLog.events[0].first, 0xC0000002u);
        EXPECT_EQ(applicationLog.events[0].second.rfind("Velmora ZRM Auditor 1.0\r\n", 0), 0u);
        EXPECT_NE(applicationLog.events[0].second.find("is invalid or does not exist"),
                  std::string::npos);
    }
}

// A log that rolled over since the last run: its older events sit in an
// archive beside it.
TEST_F(ReportRun, ArchivedEventsAreReadAndCloseTheGapOnlyWhenAskedFor) {
    SetStoredDate("LastDateData", CLocalDateTime::FromFields(2026, 3, 14, 7, 0, 0));
    std::string live = kScenario;
    live.replace(0, 1, "{\"record\":10,");
    test::WriteEvtx(store.Dir().File("Security.evtx"), live);
    test::WriteEvtx(store.Dir().File("Archive-Security-2026-03-14-08-00-00-000.evtx"),
                    R"({"id":4624,"time":"2026-03-14T06:59:00Z"}
{"id":4656,"time":"2026-03-14T07:30:00Z","handle":"0x1a4","object":"D:\\Records\\early.zrm"}
{"id":4663,"time":"2026-03-14T07:30:01Z","handle":"0x1a4","object":"D:\\Records\\early.zrm","mask":2}
{"id":4658,"time":"2026-03-14T07:30:02Z","handle":"0x1a4"}
)");
    host.answer = IDNO;
    {
        CReportRun run(options, host);
        run.LoadStoredDates();
        Run(run);
        ASSERT_EQ(host.questions.size(), 1u);  // as without archives: the loss is reported
        EXPECT_EQ(host.questions[0].text.rfind("ATTENTION!\r\n", 0), 0u);
        EXPECT_TRUE(ReportFiles().empty());
    }
    options.GeneralOptions().Add(COptItem::Int("ReadArchives", 1));
    {
        CReportRun run(options, host);
        run.LoadStoredDates();
        Run(run);
        EXPECT_EQ(host.questions.size(), 1u);  // the archive holds events older than the last run's
        ASSERT_EQ(ReportFiles().size(), 1u);
        const std::string report = ReadText(reports + "/" + ReportFiles()[0]);
        EXPECT_NE(report.find(";early.zrm;Create;"), std::string::npos) << report;
        EXPECT_NE(report.find(";case12.zrm;Create;"), std::string::npos);
        EXPECT_NE(Summary().find("Processed events: 5\r\n"), std::string::npos) << Summary();
    }
}

// The request a signal makes: granted without a question, the run ends as
// interrupted, and a request outside a run changes nothing.
TEST_F(ReportRun, TheHeadlessHostGrantsAnInterruptRequestWithoutAsking) {
    CHeadlessRunHost headless(writer, reports, "Velmora ZRM Auditor 1.0");
    headless.RequestInterrupt();  // before the run: nothing to interrupt
    GatedRun run(options, headless);
    std::thread requester([&] {
        {
            std::unique_lock lock(run.mutex);
            run.changed.wait(lock, [&] { return run.atRow; });
        }
        headless.RequestInterrupt();
        while (!g_bStopRequested) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        {
            std::lock_guard lock(run.mutex);
            run.open = true;
        }
        run.changed.notify_all();
    });
    headless.RunUntilDone(run);
    requester.join();
    EXPECT_EQ(run.LastOutcome(), RunOutcome::interrupted);
    EXPECT_FALSE(headless.Faulted());
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_NE(Summary().find("Operation is interrupted."), std::string::npos) << Summary();
    ASSERT_EQ(applicationLog.events.size(), 1u);
    EXPECT_EQ(applicationLog.events[0].first, kRunEndEventId);
    EXPECT_EQ(applicationLog.events[0].second.rfind(
                  "Audit report hasn't been created. Operation is interrupted.\r\nRows: ", 0),
              0u)
        << applicationLog.events[0].second;
    EXPECT_EQ(options.GetOptBin("LastDateProc", nullptr, 0), 0u);
}

#ifdef VZRM_TEST_HOOKS_BUILT
// A worker thread that cannot start is a failure that names itself, not an
// interruption.
TEST_F(ReportRun, AWorkerThatCannotStartFailsTheRun) {
    test::ScopedEnv hook("VZRM_TEST_HOOK", "no-worker-thread");
    CReportRun run(options, host);
    Run(run);
    EXPECT_EQ(run.LastOutcome(), RunOutcome::failed);
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_NE(Summary().find("The error occurred:"), std::string::npos) << Summary();
    ASSERT_EQ(host.shownErrors.size(), 1u);
    EXPECT_NE(host.shownErrors[0].find("Point: LYHDNFUPKOJYNSY"), std::string::npos);
    EXPECT_EQ(options.GetOptBin("LastDateProc", nullptr, 0), 0u);
}
#endif

TEST_F(ReportRun, TheHeadlessHostDrawsTheReadsProgressAndWipesItAtTheEnd) {
    std::ostringstream screen;
    {
        CProgressLine line(screen, "vzrmaud");
        CHeadlessRunHost headless(writer, reports, "Velmora ZRM Auditor 1.0");
        headless.SetProgress(&line);
        CReportRun run(options, headless);
        run.LoadStoredDates();
        headless.RunUntilDone(run);
        EXPECT_EQ(ReportFiles().size(), 1u);
        const std::string drawn = screen.str();
        EXPECT_EQ(drawn.rfind("\rvzrmaud: 7 events, ", 0), 0u) << drawn;
        // Wiped by the host, not by the line's end.
        ASSERT_GE(drawn.size(), 3u);
        const std::size_t wipe = drawn.rfind('\r', drawn.size() - 2);
        EXPECT_EQ(drawn.substr(wipe), "\r" + std::string(drawn.size() - wipe - 2, ' ') + "\r");
        screen.str("");
    }
    EXPECT_EQ(screen.str(), "");
}

// Every run seals its block; a run in the window, which writes no run-end
// record, gives the journal its seal line and the key's fingerprint. What
// the runs sealed verifies.
TEST_F(ReportRun, EveryRunSealsItsBlockAndTheJournalKeepsTheLineAndTheKey) {
    CReportRun run(options, host);
    run.LoadStoredDates();
    Run(run);
    clock.SetInstant(1773479193);  // a minute later: no report
    Run(run);
    const std::string seal = ReadText(reports + "/_ZRMAudit_seal.txt");
    const std::size_t end = seal.find('\n');
    ASSERT_NE(end, std::string::npos) << seal;
    const std::string first = seal.substr(0, end);
    const std::string second = seal.substr(end + 1, seal.size() - end - 2);
    ASSERT_EQ(seal, first + "\n" + second + "\n");
    SEAL_LINE line;
    std::string why;
    ASSERT_TRUE(ParseSealLine(first, line, why)) << why;
    EXPECT_EQ(line.runStart, "2026-03-14T09:05:31");
    EXPECT_EQ(line.report, "ZRMAudit_20260314_090531.csv");
    EXPECT_EQ(line.reportDigest,
              platform::Sha256Hex(ReadText(reports + "/ZRMAudit_20260314_090531.csv")));
    const std::string summary = Summary();
    const std::size_t block = summary.find("-\r\n") + 3;
    EXPECT_EQ(line.blockDigest, platform::Sha256Hex(summary.substr(0, block)));
    EXPECT_EQ(line.previous, kNoPreviousLine);
    ASSERT_TRUE(ParseSealLine(second, line, why)) << why;
    EXPECT_TRUE(line.report.empty());
    EXPECT_EQ(line.blockDigest, platform::Sha256Hex(summary.substr(block)));
    EXPECT_EQ(line.previous, platform::Sha256Hex(first));

    platform::SealSigningKey key;
    std::string refusal;
    ASSERT_EQ(store.SealKeys().SigningKey(key, false, refusal), 0) << refusal;
    EXPECT_EQ(line.fingerprint, key.publicKey.Fingerprint());
    ASSERT_EQ(host.logged.size(), 2u);
    for (std::size_t n = 0; n < 2; ++n) {
        EXPECT_EQ(host.logged[n].style, kSealEventId);
        EXPECT_EQ(host.logged[n].text, "Seal: " + reports + "/_ZRMAudit_seal.txt\r\nSeal line: " +
                                           platform::Sha256Hex(n == 0 ? first : second) +
                                           "\r\nSeal key: " + key.publicKey.Fingerprint() +
                                           " (public key " + store.Dir().File("seal.pub") + ")");
    }
    const SEAL_CHECK check =
        VerifySealedFolder(reports, {{key.publicKey, key.publicKeyFile}}, [](const SEAL_ITEM&) {});
    EXPECT_TRUE(check.Intact());
    EXPECT_EQ(check.Count(SealStatus::ok), 5u);  // two lines, a report, two blocks
}

#ifdef VZRM_TEST_HOOKS_BUILT
// A seal line that cannot be written: the block it would seal is taken back
// and the run fails, as when the summary cannot be written.
TEST_F(ReportRun, ASealLineThatCannotBeWrittenTakesTheBlockBackAndFailsTheRun) {
    CReportRun run(options, host);
    run.LoadStoredDates();
    {
        test::ScopedEnv hook("VZRM_TEST_HOOK", "seal-not-written");
        Run(run);
    }
    EXPECT_EQ(run.LastOutcome(), RunOutcome::failed);
    EXPECT_EQ(Summary(), "");
    EXPECT_EQ(ReadText(reports + "/_ZRMAudit_seal.txt"), "");
    EXPECT_TRUE(ReportFiles().empty());
    // The dates it had: none.
    EXPECT_EQ(ReadStoredDate(options, kLastDateProc).GetStatus(), CLocalDateTime::Status::null);
    EXPECT_EQ(run.PeriodStart().GetStatus(), CLocalDateTime::Status::null);
    EXPECT_TRUE(host.information.empty());
    ASSERT_EQ(host.shownErrors.size(), 1u);
    EXPECT_NE(host.shownErrors[0].find("SEALNOTWRITTENX"), std::string::npos)
        << host.shownErrors[0];
    EXPECT_NE(host.shownErrors[0].find("_ZRMAudit_seal.txt"), std::string::npos);
    EXPECT_TRUE(host.logged.empty());
    // The next run seals as if nothing had happened.
    Run(run);
    EXPECT_EQ(run.LastOutcome(), RunOutcome::completed);
    EXPECT_EQ(ReportFiles().size(), 1u);
    platform::SealSigningKey key;
    std::string refusal;
    ASSERT_EQ(store.SealKeys().SigningKey(key, false, refusal), 0) << refusal;
    EXPECT_TRUE(
        VerifySealedFolder(reports, {{key.publicKey, key.publicKeyFile}}, [](const SEAL_ITEM&) {
        }).Intact());
}
#endif

}  // namespace
}  // namespace vzrm
