// The Security-log reader over logs written by the project's writers, with
// the project's message files registered in a real store.
#include "audit/security_log_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>

#include "audit/event_fields.h"
#include "base/error_info.h"
#include "formats/message_fields.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/services.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/scoped_registry.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

class Reader : public ::testing::Test {
  protected:
    void SetUp() override { g_errorInfo.Clear(); }

    std::vector<AUDIT_RECORD> Read(const std::string& file, int expected = 1,
                                   const CLocalDateTime& start = {},
                                   const CLocalDateTime& end = {}) {
        test::ScopedEnv log("VZRM_SECURITY_LOG", file.c_str());
        CSecurityLogReader reader;
        EXPECT_TRUE(reader.OpenReader());
        EXPECT_EQ(reader.ReadPeriod(start, end), expected) << g_errorInfo.Render();
        latest = reader.LatestEventTime();
        return reader.TakeRecords();
    }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    std::int64_t latest = 0;
};

const char kModern[] = R"({"id":4624,"time":"2026-03-14T08:05:30Z"}
{"id":4656,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":"0x120089"}
{"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":2}
{"id":4663,"time":"2026-03-14T08:05:34Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":2}
{"id":4658,"time":"2026-03-14T08:05:35Z","handle":"0x1a4"}
{"id":4656,"time":"2026-03-14T08:05:36Z","handle":"0x1b0","object":"D:\\Records\\old.zrm","outcome":"failure"}
{"id":4656,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","object":"D:\\Records\\old.zrm","mask":"0x10000"}
{"id":4660,"time":"2026-03-14T08:05:37Z","handle":"0x1b4"}
{"id":4658,"time":"2026-03-14T08:05:37Z","handle":"0x1b4"}
)";

std::string Classic(std::string scenario) {
    for (const auto& [from, to] :
         {std::pair{"4656", "560"}, {"4663", "567"}, {"4658", "562"}, {"4660", "564"}}) {
        scenario = std::regex_replace(scenario, std::regex(std::string("\"id\":") + from),
                                      std::string("\"id\":") + to);
    }
    return scenario;
}

// Every column of the report agrees between the two formats.
void ExpectSameColumns(const std::vector<AUDIT_RECORD>& classic,
                       const std::vector<AUDIT_RECORD>& modern) {
    ASSERT_EQ(classic.size(), modern.size());
    for (std::size_t i = 0; i < modern.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(classic[i].user, modern[i].user);
        EXPECT_EQ(classic[i].computer, modern[i].computer);
        EXPECT_EQ(classic[i].objectName, modern[i].objectName);
        EXPECT_EQ(classic[i].handleId, modern[i].handleId);
        EXPECT_EQ(classic[i].processId, modern[i].processId);
        EXPECT_EQ(classic[i].processName, modern[i].processName);
        EXPECT_EQ(classic[i].time, modern[i].time);
        EXPECT_EQ(classic[i].action, modern[i].action);
    }
}

TEST_F(Reader, TheSameScenarioGivesTheSameRecordsInBothFormats) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), kModern);
    test::WriteEvt(store.Dir().File("Security.evt"), Classic(kModern));
    const std::vector<AUDIT_RECORD> modern = Read(store.Dir().File("Security.evtx"));
    const std::int64_t modernLatest = latest;
    const std::vector<AUDIT_RECORD> classic = Read(store.Dir().File("Security.evt"));
    ASSERT_EQ(modern.size(), 3u);
    ASSERT_EQ(classic.size(), modern.size());
    ExpectSameColumns(classic, modern);
    EXPECT_EQ(modern[0].action, ACTION_CREATE);
    EXPECT_EQ(modern[0].user, "operator");
    EXPECT_EQ(modern[0].handleId, 0x1A4u);
    EXPECT_EQ(modern[0].processName, "C:\\Program Files\\Rec\\pramvoxe.exe");
    EXPECT_EQ(modern[1].action, ACTION_CLOSE);
    EXPECT_EQ(modern[1].objectName, "D:\\Records\\case12.zrm");
    EXPECT_EQ(modern[2].action, ACTION_DELETE);
    EXPECT_EQ(modern[0].eventId, 4656u);
    EXPECT_EQ(classic[0].eventId, 560u);
    EXPECT_EQ(modernLatest, 1773475537);  // the newest event, whatever its kind
}

TEST_F(Reader, AStopRequestEndsTheReadWithoutRecords) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), kModern);
    test::ScopedEnv log("VZRM_SECURITY_LOG", store.Dir().File("Security.evtx").c_str());
    std::atomic<bool> stop{true};
    CSecurityLogReader reader(&stop);
    ASSERT_TRUE(reader.OpenReader());
    EXPECT_TRUE(reader.IsReaderStopped());
    EXPECT_EQ(reader.ReadPeriod({}, {}), 0);
    EXPECT_TRUE(reader.TakeRecords().empty());
    stop = false;
    EXPECT_EQ(reader.ReadPeriod({}, {}), 1);
    EXPECT_EQ(reader.TakeRecords().size(), 3u);
}

TEST_F(Reader, StartBoundEqualToAnEventTimeExcludesIt) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), kModern);
    // 08:05:35 UTC is the close; the delete at :37 stays.
    const CLocalDateTime start = InstantToLocalDateTime(1773475535);
    const std::vector<AUDIT_RECORD> records = Read(store.Dir().File("Security.evtx"), 1, start);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].action, ACTION_DELETE);
}

// A log exported from another machine: its SIDs map to nothing here, so the
// account comes from the event's own text, in both formats alike. "N/M"
// stays for an event that names no account; a mapped SID keeps its name.
TEST_F(Reader, UnmappedSidsTakeTheAccountTheEventNames) {
    const std::string foreign = std::regex_replace(std::string(kModern), std::regex("\"handle\""),
                                                   "\"sid\":\"S-1-5-21-9-9-9-500\",\"handle\"");
    test::WriteEvtx(store.Dir().File("Security.evtx"), foreign);
    test::WriteEvt(store.Dir().File("Security.evt"), Classic(foreign));
    const std::vector<AUDIT_RECORD> modern = Read(store.Dir().File("Security.evtx"));
    const std::vector<AUDIT_RECORD> classic = Read(store.Dir().File("Security.evt"));
    ASSERT_EQ(modern.size(), 3u);
    ASSERT_EQ(classic.size(), modern.size());
    ExpectSameColumns(classic, modern);
    for (const AUDIT_RECORD& record : classic) {
        EXPECT_EQ(record.user, "operator");
    }

    test::WriteEvt(
        store.Dir().File("nameless.evt"),
        std::regex_replace(Classic(foreign), std::regex("\"handle\""), "\"user\":\"\",\"handle\""));
    const std::vector<AUDIT_RECORD> nameless = Read(store.Dir().File("nameless.evt"));
    ASSERT_FALSE(nameless.empty());
    EXPECT_EQ(nameless[0].user, "N/M");

    test::WriteEvt(store.Dir().File("mapped.evt"),
                   std::regex_replace(Classic(kModern), std::regex("\"handle\""),
                                      "\"user\":\"someone\",\"handle\""));
    const std::vector<AUDIT_RECORD> mapped = Read(store.Dir().File("mapped.evt"));
    ASSERT_FALSE(mapped.empty());
    EXPECT_EQ(mapped[0].user, "operator");
}

// Handles of 2^31 and above, in the decimal form of classic logs, stay
// apart: each file keeps its own rows.
TEST_F(Reader, HighClassicHandlesAreNotMerged) {
    const char kHigh[] =
        R"({"id":560,"time":"2026-03-14T08:05:33Z","handle":2147483648,"object":"D:\\Records\\a.zrm"}
{"id":560,"time":"2026-03-14T08:05:33Z","handle":2147483649,"object":"D:\\Records\\b.zrm"}
{"id":567,"time":"2026-03-14T08:05:34Z","handle":2147483648,"object":"D:\\Records\\a.zrm","mask":2}
{"id":567,"time":"2026-03-14T08:05:34Z","handle":2147483649,"object":"D:\\Records\\b.zrm","mask":2}
{"id":562,"time":"2026-03-14T08:05:35Z","handle":2147483648}
{"id":562,"time":"2026-03-14T08:05:36Z","handle":2147483649}
)";
    test::WriteEvt(store.Dir().File("Security.evt"), kHigh);
    const std::vector<AUDIT_RECORD> records = Read(store.Dir().File("Security.evt"));
    ASSERT_EQ(records.size(), 4u);
    const std::pair<std::uint32_t, const char*> expected[] = {{0x80000000u, "a.zrm"},
                                                              {0x80000001u, "b.zrm"},
                                                              {0x80000000u, "a.zrm"},
                                                              {0x80000001u, "b.zrm"}};
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].handleId, expected[i].first);
        EXPECT_EQ(records[i].objectName, std::string("D:\\Records\\") + expected[i].second);
        EXPECT_EQ(records[i].action, i < 2 ? ACTION_CREATE : ACTION_CLOSE);
    }
}

// The header and the end-of-file record alone: a log without events.
TEST_F(Reader, AnEmptyClassicLogReadsAsEmpty) {
    test::WriteEvt(store.Dir().File("Security.evt"), "");
    ASSERT_EQ(std::filesystem::file_size(store.Dir().File("Security.evt")), 88u);
    EXPECT_TRUE(Read(store.Dir().File("Security.evt")).empty());
    EXPECT_EQ(latest, 0);
    test::ScopedEnv log("VZRM_SECURITY_LOG", store.Dir().File("Security.evt").c_str());
    EXPECT_EQ(CSecurityLogReader().GetOldestEventTime().GetStatus(), CLocalDateTime::Status::null);
}

// 2026-10-25 in Berlin: 02:29:58 happens at 00:29:58 and 01:29:58 UTC. A
// period that starts there starts at the first, so the events between the
// two are reported.
TEST_F(Reader, AStartInTheRepeatedAutumnHourLosesNoEvents) {
    test::ScopedEnv zone("TZ", "Europe/Berlin");
    const char kAutumn[] =
        R"({"id":4656,"time":"2026-10-25T00:45:00Z","handle":"0x1a4","object":"D:\\Records\\night.zrm"}
{"id":4663,"time":"2026-10-25T00:45:01Z","handle":"0x1a4","object":"D:\\Records\\night.zrm","mask":2}
{"id":4658,"time":"2026-10-25T00:45:02Z","handle":"0x1a4"}
)";
    test::WriteEvtx(store.Dir().File("Security.evtx"), kAutumn);
    const std::vector<AUDIT_RECORD> records = Read(
        store.Dir().File("Security.evtx"), 1, CLocalDateTime::FromFields(2026, 10, 25, 2, 29, 58),
        CLocalDateTime::FromFields(2026, 10, 25, 4, 0, 0));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].time, 1792889100);
    EXPECT_EQ(records[1].action, ACTION_CLOSE);
}

TEST_F(Reader, OldestEventTimeAndMissingLog) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), kModern);
    {
        test::ScopedEnv log("VZRM_SECURITY_LOG", store.Dir().File("Security.evtx").c_str());
        CSecurityLogReader reader;
        const CLocalDateTime oldest = reader.GetOldestEventTime();
        std::int64_t instant = 0;
        ASSERT_TRUE(LocalDateTimeToInstant(oldest, instant));
        EXPECT_EQ(instant, 1773475530);
    }
    test::ScopedEnv log("VZRM_SECURITY_LOG", store.Dir().File("none.evtx").c_str());
    CSecurityLogReader reader;
    ASSERT_TRUE(reader.OpenReader());
    EXPECT_EQ(reader.ReadPeriod({}, {}), -1);
    EXPECT_EQ(g_errorInfo.GetPoints(), "ZKCPUYDFHQIFSTU");
    EXPECT_EQ(g_errorInfo.GetCode(), 2);
}

}  // namespace
}  // namespace vzrm

namespace vzrm {
namespace {

TEST_F(Reader, VzrmlogRecordsPrintsTheFinalRecords) {
    test::WriteEvtx(store.Dir().File("Security.evtx"), kModern);
    const std::string command = "TZ=UTC SystemRoot='" + (store.Dir().Path() / "Windows").string() +
                                "' VZRM_REGISTRY_DIR='" + store.Dir().Path().string() +
                                "' VZRM_LOCK_DIR='" + store.Dir().File("locks") + "' " +
                                VZRMLOG_PATH + " records '" + store.Dir().File("Security.evtx") +
                                "'";
    const test::CommandResult all = test::RunCommand(command + " 2>&1");
    ASSERT_EQ(all.status, 0) << all.output;
    EXPECT_EQ(all.output,
              "2026.03.14\t08:05:33\tRECPC\toperator\tD:\\Records\\case12.zrm\tCreate\tC:\\Program "
              "Files\\Rec\\pramvoxe.exe\t0x1A4\t0x6B8\t4656\t2\n"
              "2026.03.14\t08:05:35\tRECPC\toperator\tD:\\Records\\case12.zrm\tClose\tC:\\Program "
              "Files\\Rec\\pramvoxe.exe\t0x1A4\t0x6B8\t4658\t5\n"
              "2026.03.14\t08:05:37\tRECPC\toperator\tD:\\Records\\old.zrm\tDelete\tC:\\Program "
              "Files\\Rec\\pramvoxe.exe\t0x1B4\t0x6B8\t4660\t8\n");
    const test::CommandResult later =
        test::RunCommand(command + " --from '2026-03-14 08:05:35' 2>&1");
    EXPECT_EQ(later.output.find("Create"), std::string::npos) << later.output;
    EXPECT_NE(later.output.find("Delete"), std::string::npos);
    EXPECT_EQ(test::RunCommand(command + " --ext .txt").output, "");
    EXPECT_EQ(test::RunCommand(command + " --from yesterday 2>&1").status, 2);
}

}  // namespace
}  // namespace vzrm

namespace vzrm {
namespace {

TEST_F(Reader, ClassicRecordLargerThanTheReadBuffer) {
    const std::string longName = "D:\\Records\\" + std::string(3000, 'x') + ".zrm";
    std::string scenario;
    scenario += R"({"id":560,"time":"2026-03-14T08:05:33Z","handle":420,"object":")" +
                std::string("D:\\\\Records\\\\") + std::string(3000, 'x') +
                R"(.zrm","mask":"0x120089"})"
                "\n";
    scenario += R"({"id":567,"time":"2026-03-14T08:05:34Z","handle":420,"mask":2})"
                "\n";
    scenario += R"({"id":562,"time":"2026-03-14T08:05:35Z","handle":420})"
                "\n";
    test::WriteEvt(store.Dir().File("Security.evt"), scenario);
    const std::vector<AUDIT_RECORD> records = Read(store.Dir().File("Security.evt"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].objectName, longName);
    EXPECT_EQ(records[0].action, ACTION_CREATE);
}

TEST_F(Reader, OnlyNoiseGivesNoRecordsButALatestTime) {
    test::WriteEvtx(store.Dir().File("Security.evtx"),
                    "{\"id\":4624,\"time\":\"2026-03-14T08:05:30Z\"}\n{\"id\":4672,\"time\":\"2026-"
                    "03-14T08:05:31Z\"}\n");
    EXPECT_TRUE(Read(store.Dir().File("Security.evtx")).empty());
    EXPECT_EQ(latest, 1773475531);
}

// Our message for a real 4663 event carries the same fields as its EventData.
TEST_F(Reader, RealEventsRenderTheirFieldsIntoOurMessages) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    posix::FileModernEventLog log;
    EVT_HANDLE query = 0;
    ASSERT_EQ(log.Query(test::SamplesDir() + "/file-4663-browser-credentials.evtx", "*",
                        EvtQueryFilePath, query),
              0);
    EVT_HANDLE metadata = 0;
    ASSERT_EQ(log.OpenPublisherMetadata("Microsoft-Windows-Security-Auditing", metadata), 0);
    EVT_HANDLE events[10];
    std::uint32_t returned = 0;
    ASSERT_EQ(log.Next(query, events, kEvtInfinite, returned), 0);
    int checked = 0;
    for (std::uint32_t i = 0; i < returned; ++i) {
        std::vector<EVT_DATA_ITEM> items;
        std::string message;
        if (log.FormatMessage(metadata, events[i], 0, EvtFormatMessageEvent, message) != 0) {
            continue;  // the 1102 of another provider
        }
        ASSERT_EQ(log.EventData(events[i], items), 0);
        auto data = [&](const std::string& name) {
            for (const auto& item : items) {
                if (item.name == name) {
                    return item.text;
                }
            }
            return std::string();
        };
        EXPECT_EQ(GetEventTextField(message, kLabelObjectName), data("ObjectName"));
        EXPECT_EQ(GetEventTextField(message, kLabelProcessName), data("ProcessName"));
        EXPECT_EQ(GetEventTextField(message, kLabelAccountName), data("SubjectUserName"));
        // The values evtx_dump.py shows for these events.
        EXPECT_EQ(data("ProcessName"), "C:\\Users\\Defau1t\\wsus.exe");
        EXPECT_EQ(data("SubjectUserName"), "IEUser");
        EXPECT_EQ(ParseEventNumber(GetEventTextField(message, kLabelHandleId)), 0x50u);
        EXPECT_EQ(GetEventTextField(message, "\tAccesses:"), "ReadData (or ListDirectory)");
        EXPECT_EQ(ClassifyAuditEvent(message, 4663, false), ACTION_READ_DATA);
        ++checked;
        log.Close(events[i]);
    }
    EXPECT_EQ(checked, 4);
}

// The fields the log finds without making the message are those of the
// message, on every event of the real logs that has a message; so are those
// found from the event's inserts, copied, once the event is closed.
TEST_F(Reader, FieldsOfRealEventsAreTheFieldsOfTheirMessages) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    std::vector<std::string_view> labels(EventFieldLabels(false).begin(),
                                         EventFieldLabels(false).end());
    labels.insert(labels.end(), {"\tAccesses:", "\tSecurity ID:", "\tAccount Domain:",
                                 "\tPrivileges Used for Access Check:", "\tImage File Name:"});
    posix::FileModernEventLog log;
    EVT_HANDLE metadata = 0;
    ASSERT_EQ(log.OpenPublisherMetadata("Microsoft-Windows-Security-Auditing", metadata), 0);
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::SamplesDir())) {
        if (entry.path().extension() != ".evtx") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        EVT_HANDLE query = 0;
        ASSERT_EQ(log.Query(entry.path().string(), "*", EvtQueryFilePath, query), 0);
        EVT_HANDLE events[100];
        std::uint32_t returned = 0;
        while (log.Next(query, events, kEvtInfinite, returned) == 0) {
            for (std::uint32_t i = 0; i < returned; ++i) {
                std::string message;
                std::vector<std::string> fields(labels.size());
                const std::int32_t formatted =
                    log.FormatMessage(metadata, events[i], 0, EvtFormatMessageEvent, message);
                ASSERT_EQ(log.FormatMessageFields(metadata, events[i], labels, fields), formatted);
                std::vector<std::string> expected(labels.size());
                formats::FindMessageFields(message, labels, expected);
                ASSERT_EQ(fields, expected) << message;
                compared += formatted == 0 ? 1 : 0;

                std::uint32_t messageId = 0;
                std::vector<EVT_INSERT> inserts;
                ASSERT_EQ(log.MessageInserts(events[i], messageId, inserts), 0);
                std::vector<std::vector<std::uint8_t>> copies;
                for (EVT_INSERT& insert : inserts) {
                    const auto& copy =
                        copies.emplace_back(insert.bytes.begin(), insert.bytes.end());
                    insert.bytes = copy;
                }
                log.Close(events[i]);
                std::vector<std::string> fromInserts(labels.size(), "stale");
                ASSERT_EQ(log.FormatInsertFields(metadata, messageId, inserts, labels, fromInserts),
                          formatted);
                ASSERT_EQ(fromInserts,
                          formatted == 0 ? expected : std::vector<std::string>(labels.size()));
            }
        }
        log.Close(query);
    }
    EXPECT_GT(compared, 150);  // the file events among them
}

}  // namespace
}  // namespace vzrm

namespace vzrm {
namespace {

// Publishers "Provider-0" on, each with the project's auditing messages.
void RegisterPublishers(int count) {
    for (int i = 0; i < count; ++i) {
        const std::string key = std::string(kPublishersKey) + "\\{" + std::to_string(i) + "}";
        test::SetRegistryText(HKEY_LOCAL_MACHINE, key, "", "Provider-" + std::to_string(i));
        test::SetRegistryText(HKEY_LOCAL_MACHINE, key, "MessageFileName",
                              "%SystemRoot%\\system32\\auditing.mc");
    }
}

// Events of more publishers than the handle caches hold, their fields found
// on the pipeline's thread: each publisher's handle there is opened only
// once the events handed on before it are done, since opening it may close
// the handle of an earlier one. The records are those of one publisher.
TEST_F(Reader, EventsOfSixtyPublishersGiveTheRecordsOfOne) {
    RegisterPublishers(60);
    std::string one;
    std::string many;
    for (int i = 0; i < 150; ++i) {
        const std::string file = "D:\\\\Records\\\\take" + std::to_string(i % 7) + ".zrm";
        const std::string handle = std::to_string(0x100 + 4 * i);
        const std::string events[] = {
            R"({"id":4656,"time":"2026-03-14T08:05:30Z","handle":)" + handle + R"(,"object":")" +
                file + R"(","mask":"0x120089")",
            R"({"id":4663,"time":"2026-03-14T08:05:31Z","handle":)" + handle + R"(,"object":")" +
                file + R"(","mask":2)",
            R"({"id":4658,"time":"2026-03-14T08:05:32Z","handle":)" + handle};
        for (const std::string& event : events) {
            one += event + "}\n";
            many += event + R"(,"provider":"Provider-)" + std::to_string(i % 60) + "\"}\n";
        }
    }
    test::WriteEvtx(store.Dir().File("Security.evtx"), one);
    const std::vector<AUDIT_RECORD> expected = Read(store.Dir().File("Security.evtx"));
    ASSERT_GT(expected.size(), 100u);
    test::WriteEvtx(store.Dir().File("Many.evtx"), many);
    EXPECT_EQ(Read(store.Dir().File("Many.evtx")), expected);
}

// The pipeline's thread opens the publisher the reading thread has open: it
// takes that handle's registration instead of searching the store again;
// once both are closed, the store is read anew.
TEST_F(Reader, AnOpenPublisherLendsItsRegistrationToTheNextOpen) {
    RegisterPublishers(2);
    EVT_HANDLE reading = 0;
    ASSERT_EQ(ModernEventLog().OpenPublisherMetadata("Provider-1", reading), 0);
    EXPECT_EQ(Registry().DeleteKey(HKEY_LOCAL_MACHINE, std::string(kPublishersKey) + "\\{1}"), 0);
    EVT_HANDLE sink = 0;
    EXPECT_EQ(ModernEventLog().OpenPublisherMetadata("PROVIDER-1", sink), 0);
    EXPECT_NE(sink, reading);
    // Each handle formats on its own, with the same message file. (Checks
    // go on after a failure: a handle left open would lend to later tests.)
    const std::string_view labels[] = {kLabelObjectName};
    const std::vector<std::uint8_t> object = {'D', 0, ':', 0};
    std::vector<EVT_INSERT> inserts(13, EVT_INSERT{EvtVarTypeString, {}});
    inserts[6].bytes = object;
    for (const EVT_HANDLE handle : {reading, sink}) {
        std::string value;
        EXPECT_EQ(ModernEventLog().FormatInsertFields(handle, 4663, inserts, labels, {&value, 1}),
                  0);
        EXPECT_EQ(value, "D:");
    }
    EXPECT_EQ(ModernEventLog().Close(reading), 0);
    EXPECT_EQ(ModernEventLog().Close(sink), 0);
    EVT_HANDLE again = 0;
    EXPECT_EQ(ModernEventLog().OpenPublisherMetadata("Provider-1", again),
              kErrorEvtPublisherNotFound);
    EXPECT_EQ(ModernEventLog().OpenPublisherMetadata("Provider-0", again), 0);
    ModernEventLog().Close(again);
}

// Registered texts (with their stored zero) of 255, 256 and 257 bytes,
// either side of the first read's room, are read whole: the publisher's
// name and its message file's path.
TEST_F(Reader, RegisteredTextsEitherSideOfTheReadRoomAreReadWhole) {
    const std::filesystem::path system = store.Dir().Path() / "Windows" / "system32";
    const std::string head = "%SystemRoot%\\system32\\";
    const std::string tail = "\\auditing.mc";
    for (const std::size_t bytes : {255u, 256u, 257u}) {
        SCOPED_TRACE(bytes);
        const std::string folder(bytes - 1 - head.size() - tail.size(), 'f');
        std::filesystem::create_directories(system / folder);
        std::filesystem::copy_file(system / "auditing.mc", system / folder / "auditing.mc");
        const std::string name = "P" + std::string(bytes - 2, 'n');
        const std::string key = std::string(kPublishersKey) + "\\{" + std::to_string(bytes) + "}";
        test::SetRegistryText(HKEY_LOCAL_MACHINE, key, "", name);
        test::SetRegistryText(HKEY_LOCAL_MACHINE, key, "MessageFileName", head + folder + tail);
        EVT_HANDLE metadata = 0;
        EXPECT_EQ(ModernEventLog().OpenPublisherMetadata(name, metadata), 0);
        ModernEventLog().Close(metadata);
    }
}

TEST_F(Reader, TheFiftyFirstPublisherClosesTheFirst) {
    RegisterPublishers(51);
    EVT_HANDLE first = 0;
    {
        CEvtHandleCache publishers;
        for (int i = 0; i < 51; ++i) {
            EVT_HANDLE_WITH_ERROR opened;
            opened.error = ModernEventLog().OpenPublisherMetadata("provider-" + std::to_string(i),
                                                                  opened.handle);
            ASSERT_EQ(opened.error, 0);
            first = i == 0 ? opened.handle : first;
            publishers.Add("Provider-" + std::to_string(i), opened);
        }
        EXPECT_EQ(publishers.Lookup("PROVIDER-0"), std::nullopt);
        EXPECT_NE(ModernEventLog().Close(first), 0);  // already closed by the cache
        EXPECT_TRUE(publishers.Lookup("provider-50").has_value());
    }
    EVT_HANDLE missing = 0;
    EXPECT_EQ(ModernEventLog().OpenPublisherMetadata("Nobody", missing),
              kErrorEvtPublisherNotFound);
}

}  // namespace
}  // namespace vzrm
