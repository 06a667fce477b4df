// The report worker on its own thread, over logs written by evtxgen and read
// by the real reader with the project's message files.
#include "report/audit_worker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/site_scenario.h"

namespace vzrm {
namespace {

// The report in memory; the append numbered `failAt` (from 0) fails as a full disk would.
class MemoryReport : public IAuditReportTarget {
  public:
    bool AppendToReport(const std::string& text) override {
        std::lock_guard lock(mutex);
        if (appends++ == failAt) {
            g_errorInfo.SetError("HJEWDLQRWPPPJMO", 112);
            return false;
        }
        if (text.find(";\r\n") != std::string::npos && onRow) {
            onRow();
        }
        report += text;
        writes.push_back(text);
        return true;
    }
    CLocalDateTime RunStart() const override {
        return CLocalDateTime::FromFields(2026, 3, 14, 9, 5, 31);
    }
    void SetStopTime(const CLocalDateTime& time) override { stopTime = time; }
    // Told once the log is read, before any row is written.
    void SetLogDamage(const platform::LogReadDamage& /*damage*/) override { logRead = true; }

    std::string Text() {
        std::lock_guard lock(mutex);
        return report;
    }
    // Empty again, for another run.
    void Clear() {
        report.clear();
        writes.clear();
        appends = 0;
    }

    std::mutex mutex;
    std::string report;
    std::vector<std::string> writes;  // each append that succeeded
    int appends = 0;
    int failAt = -1;
    std::function<void()> onRow;
    CLocalDateTime stopTime;
    std::atomic<bool> logRead{false};
};

// Whether `condition` came true within `limit`.
bool Within(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

using test::kScenario;

const char kHead[] =
    "Start of processing: 14.03.2026 09:05:31\r\n\r\n"
    "Date;Time;Computer;User;Path File;Name File;Event;Path Program;Name Program\r\n\r\n";
const char kRows[] =
    "2026.03.14;08:05:33;RECPC;operator;D:\\Records\\;case12.zrm;Create;C:\\Program "
    "Files\\Rec\\;pramvoxe.exe;\r\n"
    "2026.03.14;08:05:35;RECPC;operator;D:\\Records\\;case12.zrm;Close;C:\\Program "
    "Files\\Rec\\;pramvoxe.exe;\r\n"
    "2026.03.14;08:05:37;RECPC;operator;D:\\Records\\;old.zrm;Delete;C:\\Program "
    "Files\\Rec\\;pramvoxe.exe;\r\n";
const char kStop[] = "Stop of processing: 14.03.2026 09:05:33\r\n";

class AuditWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errorInfo.Clear();
        g_bStopRequested = false;
        g_bQuestionShown = false;
    }
    void TearDown() override {
        g_bStopRequested = false;
        g_bQuestionShown = false;
    }

    // Runs a worker over the scenario and returns the messages it posted.
    std::vector<RunMessage> RunOver(const std::string& scenario) {
        test::WriteEvtx(store.Dir().File("Security.evtx"), scenario);
        return RunOverFile(store.Dir().File("Security.evtx"));
    }

    std::vector<RunMessage> RunOverFile(const std::string& file) {
        test::ScopedEnv log("VZRM_SECURITY_LOG", file.c_str());
        CRunMessageQueue queue;
        auto proc = std::make_unique<CZrmAuditProc>(report, queue);
        proc->SetPeriod({}, CLocalDateTime::FromFields(2026, 3, 14, 9, 5, 31));
        std::thread worker;
        EXPECT_TRUE(StartAuditWorker(std::move(proc), worker));
        std::vector<RunMessage> messages;
        progress.clear();
        do {
            messages.push_back(queue.Wait());
            if (messages.back().message == WM_AUDIT_PROGRESS) {
                EXPECT_EQ(messages.size(), 1u) << "progress comes before the other messages";
                progress.push_back(messages.back());
                messages.pop_back();
            }
        } while (messages.empty() || messages.back().message != WM_AUDIT_DONE);
        worker.join();
        EXPECT_FALSE(queue.TryTake().has_value()) << "a message after WM_AUDIT_DONE";
        return messages;
    }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    test::FakeClock clock;  // 2026-03-14 09:05:33
    test::FakeLocale locale;
    test::ScopedServices services{
        {.clock = &clock, .locale = &locale, .registry = &store.Registry()}};
    MemoryReport report;
    std::vector<RunMessage> progress;  // the WM_AUDIT_PROGRESS messages, apart
};

MATCHER_P3(IsMessage, message, wParam, lParam, "") {
    return arg.message == static_cast<std::uint32_t>(message) && arg.wParam == wParam &&
           arg.lParam == lParam;
}

TEST_F(AuditWorker, ACompleteRunWritesTheReportAndPostsThreeMessagesInOrder) {
    const std::vector<RunMessage> posted = RunOver(kScenario);
    EXPECT_EQ(report.Text(), std::string(kHead) + kRows + "\r\n" + kStop);
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_THAT(posted[0], IsMessage(WM_AUDIT_COUNT, 3, 0));
    EXPECT_THAT(posted[1], IsMessage(WM_AUDIT_LASTDATA, 0, 1773475537));
    EXPECT_THAT(posted[2], IsMessage(WM_AUDIT_DONE, 1, 0));
    EXPECT_EQ(report.stopTime, CLocalDateTime::FromFields(2026, 3, 14, 9, 5, 33));
    EXPECT_FALSE(g_errorInfo.HasError());
}

TEST_F(AuditWorker, TheReadOfTheLogPostsItsProgressThroughTheFile) {
    // Enough events for several batches; the first batch is always posted.
    std::string scenario;
    for (int i = 0; i < 250; ++i) {
        scenario += R"({"id":4624,"time":"2026-03-14T08:05:30Z"})"
                    "\n";
    }
    test::WriteEvtx(store.Dir().File("Security.evtx"), scenario + kScenario);
    const std::int64_t size =
        static_cast<std::int64_t>(std::filesystem::file_size(store.Dir().File("Security.evtx")));
    RunOverFile(store.Dir().File("Security.evtx"));
    ASSERT_FALSE(progress.empty());
    std::int64_t events = 0;
    std::int64_t position = 0;
    for (const RunMessage& message : progress) {
        EXPECT_GT(message.wParam, events);
        EXPECT_GE(message.lParam, position);
        EXPECT_LE(message.lParam, size);
        EXPECT_EQ(message.extra, size);
        events = message.wParam;
        position = message.lParam;
    }
    EXPECT_EQ(progress.front().wParam, 100) << "one batch";
    EXPECT_LT(progress.front().lParam, size);
}

TEST_F(AuditWorker, AnEmptyPeriodGivesTheFrameOnly) {
    const std::vector<RunMessage> posted = RunOver(R"({"id":4624,"time":"2026-03-14T08:05:30Z"})"
                                                   "\n");
    EXPECT_EQ(report.Text(), std::string(kHead) + "\r\n" + kStop);
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_THAT(posted[0], IsMessage(WM_AUDIT_COUNT, 0, 0));
    EXPECT_THAT(posted[1], IsMessage(WM_AUDIT_LASTDATA, 0, 1773475530));
}

TEST_F(AuditWorker, FailuresChainTheirPointsAndKeepTheStopLine) {
    report.failAt = 4;  // the rows, after the head's four appends
    std::vector<RunMessage> posted = RunOver(kScenario);
    EXPECT_EQ(g_errorInfo.GetPoints(), "BEHTYXDEMCYVUSO:WPDJPWYYPTFMHUM:HJEWDLQRWPPPJMO");
    EXPECT_EQ(report.Text(), std::string(kHead) + kStop);
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_THAT(posted[0], IsMessage(WM_AUDIT_COUNT, 0, 0));
    EXPECT_THAT(posted[2], IsMessage(WM_AUDIT_DONE, -1, 0));

    // Without the start line there is no stop line either.
    report.Clear();
    report.failAt = 0;
    posted = RunOver(kScenario);
    EXPECT_EQ(g_errorInfo.GetPoints(), "BEHTYXDEMCYVUSO:PZPXMBCHAPCLQMW:HJEWDLQRWPPPJMO");
    EXPECT_EQ(report.Text(), "");
    EXPECT_THAT(posted.back(), IsMessage(WM_AUDIT_DONE, -1, 0));

    // A failing stop line fails a run that was complete (the head, the rows,
    // the empty line, the stop line).
    report.Clear();
    report.failAt = 6;
    posted = RunOver(kScenario);
    EXPECT_EQ(g_errorInfo.GetPoints(), "BEHTYXDEMCYVUSO:SUUKZBPVCCJIFRB:HJEWDLQRWPPPJMO");
    EXPECT_THAT(posted.back(), IsMessage(WM_AUDIT_DONE, -1, 0));
}

// 1,400 rows (a created file's and its close for each of 700), enough for
// several writes of rows.
std::string ManyRows() {
    std::string scenario;
    for (int i = 0; i < 700; ++i) {
        const std::string handle = "\"handle\":\"0x" + std::to_string(1000 + 4 * i) + "\"";
        const std::string object =
            "\"object\":\"D:\\\\Records\\\\case" + std::to_string(i) + ".zrm\"";
        scenario += R"({"id":4656,"time":"2026-03-14T08:05:33Z",)" + handle + "," + object +
                    R"(,"mask":"0x120089"})" + "\n" +
                    R"({"id":4663,"time":"2026-03-14T08:05:33Z",)" + handle + "," + object +
                    R"(,"mask":2})" + "\n" + R"({"id":4658,"time":"2026-03-14T08:05:34Z",)" +
                    handle + "}\n";
    }
    return scenario;
}

std::size_t LinesIn(const std::string& text) {
    std::size_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
        ++lines;
    }
    return lines;
}

TEST_F(AuditWorker, RowsGoOutInWritesOfWholeLinesAndAFailedWriteEndsThemThere) {
    const std::string scenario = ManyRows();
    RunOver(scenario);
    const std::string whole = report.Text();
    ASSERT_NE(whole.find("case699.zrm"), std::string::npos);
    // The head's four appends, the rows, the empty line, the stop line.
    const std::vector<std::string> writes = report.writes;
    ASSERT_GE(writes.size(), 4u + 3u + 2u) << "rows enough for three writes";
    EXPECT_LT(writes.size(), 4u + 1400u / 100 + 2u) << "a write call per row or so";
    std::string rows;
    for (std::size_t i = 4; i + 2 < writes.size(); ++i) {
        EXPECT_TRUE(writes[i].ends_with("\r\n")) << "write " << i << " ends within a row";
        rows += writes[i];
    }
    EXPECT_EQ(LinesIn(rows), 1400u);

    // The second write of rows fails: the first one's rows stay, and are counted.
    report.Clear();
    report.failAt = 4 + 1;
    g_errorInfo.Clear();
    const std::vector<RunMessage> posted = RunOver(scenario);
    EXPECT_EQ(g_errorInfo.GetPoints(), "BEHTYXDEMCYVUSO:WPDJPWYYPTFMHUM:HJEWDLQRWPPPJMO");
    EXPECT_EQ(report.Text(), std::string(kHead) + writes[4] + kStop);
    ASSERT_FALSE(posted.empty());
    EXPECT_THAT(posted[0],
                IsMessage(WM_AUDIT_COUNT, static_cast<std::int64_t>(LinesIn(writes[4])), 0));
    EXPECT_THAT(posted.back(), IsMessage(WM_AUDIT_DONE, -1, 0));
}

TEST_F(AuditWorker, AnUnreadableLogFailsTheRunAfterTheHeader) {
    const std::vector<RunMessage> posted = RunOverFile(store.Dir().File("missing.evtx"));
    EXPECT_EQ(g_errorInfo.GetPoints().rfind("BEHTYXDEMCYVUSO:VIADMYGIJDSYWWZ:", 0), 0u)
        << g_errorInfo.GetPoints();
    EXPECT_EQ(report.Text(), std::string(kHead) + kStop);
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_THAT(posted[1], IsMessage(WM_AUDIT_LASTDATA, 0, 0));
    EXPECT_THAT(posted[2], IsMessage(WM_AUDIT_DONE, -1, 0));
}

TEST_F(AuditWorker, AnInterruptionDuringTheRowsStopsBeforeTheNextWrite) {
    report.onRow = [] { g_bStopRequested = true; };
    const std::vector<RunMessage> posted = RunOver(ManyRows());
    // The rows of the first write, then the stop line with no empty line between.
    ASSERT_GE(report.writes.size(), 5u);
    EXPECT_LT(LinesIn(report.writes[4]), 1400u);
    EXPECT_EQ(report.Text(), std::string(kHead) + report.writes[4] + kStop);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_THAT(posted[0], IsMessage(WM_AUDIT_DONE, 0, 0));
}

// The answer Yes to the open question; the worker's next message that is not progress.
RunMessage AnswerYes(CRunMessageQueue& queue) {
    g_bStopRequested = true;
    g_bQuestionShown = false;
    RunMessage last = queue.Wait();
    while (last.message == WM_AUDIT_PROGRESS) {
        last = queue.Wait();
    }
    return last;
}

TEST_F(AuditWorker, AnOpenQuestionHoldsTheRowsBack) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), kScenario);
    test::ScopedEnv log("VZRM_SECURITY_LOG", store.Dir().File("Security.evtx").c_str());
    g_bQuestionShown = true;
    CRunMessageQueue queue;
    std::thread worker;
    ASSERT_TRUE(StartAuditWorker(std::make_unique<CZrmAuditProc>(report, queue), worker));
    // Once the log is read the rows would come next: none may while the question is open.
    ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return report.logRead.load(); }));
    EXPECT_FALSE(Within(std::chrono::milliseconds(400), [&] {
        return report.Text().find("2026.03.14;") != std::string::npos;
    })) << "a row while asking";
    // The read of the log may go on and tell its progress; nothing else comes.
    std::optional<RunMessage> early = queue.TryTake();
    while (early && early->message == WM_AUDIT_PROGRESS) {
        early = queue.TryTake();
    }
    EXPECT_FALSE(early.has_value());
    EXPECT_THAT(AnswerYes(queue), IsMessage(WM_AUDIT_DONE, 0, 0));
    worker.join();
    EXPECT_EQ(report.Text(), std::string(kHead) + kStop);
}

TEST_F(AuditWorker, AQuestionOpenedDuringTheRowsHoldsTheNextWriteBack) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), ManyRows());
    test::ScopedEnv log("VZRM_SECURITY_LOG", store.Dir().File("Security.evtx").c_str());
    std::atomic<int> rowWrites{0};
    report.onRow = [&] {
        if (rowWrites++ == 0) {
            g_bQuestionShown = true;  // the user asks to interrupt during the first write
        }
    };
    CRunMessageQueue queue;
    std::thread worker;
    auto proc = std::make_unique<CZrmAuditProc>(report, queue);
    proc->SetPeriod({}, CLocalDateTime::FromFields(2026, 3, 14, 9, 5, 31));
    ASSERT_TRUE(StartAuditWorker(std::move(proc), worker));
    ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return rowWrites.load() >= 1; }));
    EXPECT_FALSE(Within(std::chrono::milliseconds(400), [&] { return rowWrites.load() > 1; }))
        << "rows written while asking";
    EXPECT_THAT(AnswerYes(queue), IsMessage(WM_AUDIT_DONE, 0, 0));
    worker.join();
    ASSERT_GE(report.writes.size(), 5u);
    EXPECT_EQ(report.Text(), std::string(kHead) + report.writes[4] + kStop);
}

TEST(AuditWorkerSeparator, TheLocaleGivesTheSeparatorAndEmptyMeansSemicolon) {
    test::FakeLocale locale;
    locale.listSeparator = "";
    test::ScopedServices services{{.locale = &locale}};
    MemoryReport report;
    CRunMessageQueue queue;
    EXPECT_EQ(CZrmAuditProc(report, queue).ListSeparator(), ";");
    locale.listSeparator = ",";
    EXPECT_EQ(CZrmAuditProc(report, queue).ListSeparator(), ",");
}

}  // namespace
}  // namespace vzrm
