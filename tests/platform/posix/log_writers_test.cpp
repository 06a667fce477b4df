// The test-log writers: what they write must be read back the same by our
// readers and by independent ones (python3-evtx, libevtx-utils, libevt-utils).
#include <gtest/gtest.h>

#include "platform/posix/eventlog/log_file_bytes.h"

#include <regex>

#include "formats/evt_file.h"
#include "formats/evtx_file.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "support/log_counts.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

const char kScenario[] =
    R"({"id":4656,"time":"2026-03-14T08:05:33.250Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":"0x120089"}
{"id":4663,"time":"2026-03-14T08:05:33.500Z","handle":420,"object":"D:\\Records\\case12.zrm","mask":2,"user":"Jörg"}
{"id":4658,"time":"2026-03-14T08:05:34Z","handle":"0x1a4","pid":"0x420"}
{"id":4660,"time":"2026-03-14T08:05:35Z","handle":"0x1b0","process":"C:\\Program Files\\Rec\\soskavir.exe"}
{"id":4656,"time":"2026-03-14T08:05:36Z","outcome":"failure","object":"D:\\Records\\x.zrm"}
{"id":4624,"time":"2026-03-14T08:05:37Z","record":100}
)";

struct Rendered {
    std::uint32_t id;
    std::uint64_t time;
    std::uint64_t record;
    std::uint16_t task;
    std::uint64_t keywords;
    std::vector<EVT_DATA_ITEM> data;
};

std::vector<Rendered> ReadModern(const std::string& path) {
    posix::FileModernEventLog log;
    EVT_HANDLE query = 0;
    EVT_HANDLE context = 0;
    EXPECT_EQ(log.Query(path, "*", EvtQueryFilePath, query), 0);
    EXPECT_EQ(
        log.CreateRenderContext({"Event/System/EventID", "Event/System/TimeCreated/@SystemTime",
                                 "Event/System/EventRecordID", "Event/System/Task",
                                 "Event/System/Keywords", "Event/System/Security/@UserID"},
                                EvtRenderContextValues, context),
        0);
    std::vector<Rendered> events;
    EVT_HANDLE handles[4];
    std::uint32_t returned = 0;
    while (log.Next(query, handles, kEvtInfinite, returned) == kErrorSuccess) {
        for (std::uint32_t i = 0; i < returned; ++i) {
            EVT_VARIANT v[6];
            std::uint32_t needed = 0;
            EXPECT_EQ(log.Render(context, handles[i], EvtRenderEventValues, v, needed), 0);
            EXPECT_EQ(v[1].Type, EvtVarTypeFileTime);
            EXPECT_EQ(v[5].Type, EvtVarTypeNull) << "Security audit events carry no UserID";
            Rendered r{static_cast<std::uint32_t>(v[0].number), v[1].number, v[2].number,
                       static_cast<std::uint16_t>(v[3].number), v[4].number, {}};
            EXPECT_EQ(log.EventData(handles[i], r.data), 0);
            events.push_back(r);
            log.Close(handles[i]);
        }
    }
    return events;
}

std::string DataValue(const Rendered& event, const std::string& name) {
    for (const EVT_DATA_ITEM& item : event.data) {
        if (item.name == name) {
            return item.text;
        }
    }
    return "<missing>";
}

TEST(EvtxWriter, OurReaderGetsBackEveryField) {
    test::TempDir dir;
    test::WriteEvtx(dir.File("s.evtx"), kScenario);
    const std::vector<Rendered> events = ReadModern(dir.File("s.evtx"));
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].id, 4656u);
    EXPECT_EQ(events[0].time, 134179491332500000ull);  // 2026-03-14T08:05:33.250Z
    EXPECT_EQ(events[0].task, 12800);
    EXPECT_EQ(events[0].keywords, 0x8020000000000000ull);
    EXPECT_EQ(DataValue(events[0], "HandleId"), "0x1a4");
    EXPECT_EQ(DataValue(events[0], "AccessMask"), "0x120089");
    EXPECT_EQ(DataValue(events[0], "ObjectName"), "D:\\Records\\case12.zrm");
    EXPECT_EQ(DataValue(events[0], "ResourceAttributes"), "-");
    EXPECT_EQ(events[0].data.size(), 17u);
    EXPECT_EQ(events[1].data.size(), 13u);
    EXPECT_EQ(DataValue(events[1], "SubjectUserName"), "Jörg");
    EXPECT_EQ(DataValue(events[1], "HandleId"), "0x1a4");
    EXPECT_EQ(DataValue(events[1], "AccessList"), "%%4417\r\n\t\t\t\t");
    EXPECT_EQ(events[2].data.size(), 8u);
    EXPECT_EQ(DataValue(events[2], "ProcessId"), "0x420");
    EXPECT_EQ(events[3].data.size(), 9u);
    EXPECT_EQ(DataValue(events[3], "ProcessName"), "C:\\Program Files\\Rec\\soskavir.exe");
    EXPECT_EQ(events[4].keywords, 0x8010000000000000ull);
    EXPECT_EQ(DataValue(events[4], "HandleId"), "0x0");  // a failed open has no handle
    EXPECT_EQ(events[5].record, 100u);
    EXPECT_EQ(events[5].task, 12544);
}

TEST(EvtxWriter, ManyEventsFillManyChunksInOrder) {
    test::TempDir dir;
    std::string scenario;
    for (int i = 0; i < 3000; ++i) {
        scenario +=
            R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) + "}\n";
    }
    test::WriteEvtx(dir.File("m.evtx"), scenario);
    formats::EvtxFile file;
    ASSERT_EQ(platform::posix::OpenEvtxFile(file, dir.File("m.evtx")), 0);
    EXPECT_GT(file.Chunks().size(), 10u);
    EXPECT_EQ(file.Damage().chunksBadData + file.Damage().chunksBadHeader, 0u);
    EXPECT_TRUE(file.Header().checksumOk);
    const std::vector<Rendered> events = ReadModern(dir.File("m.evtx"));
    ASSERT_EQ(events.size(), 3000u);
    for (std::size_t i = 0; i < events.size(); ++i) {
        ASSERT_EQ(events[i].record, i + 1);
    }
}

// Another reader of EVTX files takes our writer's log as ours does.
TEST(EvtxWriter, EvtxexportReadsWhatOurReaderReads) {
    if (!test::HaveProgram("evtxexport")) {
        GTEST_SKIP() << "evtxexport (libevtx-utils) is not installed";
    }
    test::TempDir dir;
    test::WriteEvtx(dir.File("s.evtx"), kScenario);
    const std::vector<Rendered> ours = ReadModern(dir.File("s.evtx"));
    const test::CommandResult r = test::RunCommand("evtxexport '" + dir.File("s.evtx") + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::regex kId(R"(Event identifier\s*: 0x[0-9a-f]+ \((\d+)\))");
    std::vector<std::uint32_t> ids;
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), kId);
         it != std::sregex_iterator(); ++it) {
        ids.push_back(static_cast<std::uint32_t>(std::stoul((*it)[1])));
    }
    ASSERT_EQ(ids.size(), ours.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i], ours[i].id);
    }
    EXPECT_NE(r.output.find("Written time\t\t\t: Mar 14, 2026 08:05:33.250000000 UTC"),
              std::string::npos);
    EXPECT_NE(r.output.find(": D:\\Records\\case12.zrm"), std::string::npos);
    EXPECT_NE(r.output.find(": Jörg"), std::string::npos);
}

std::vector<std::pair<std::string, std::string>> Items(const Rendered& event) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const EVT_DATA_ITEM& item : event.data) {
        items.emplace_back(item.name, item.text);
    }
    return items;
}

// The scenario with handle and process IDs as 32-bit Windows writes them.
std::string PointerSized(std::string scenario, int width) {
    const std::string field = ",\"pointer\":" + std::to_string(width);
    for (std::size_t at = 0; (at = scenario.find("}\n", at)) != std::string::npos;
         at += field.size() + 2) {
        scenario.insert(at, field);
    }
    return scenario;
}

TEST(EvtxWriter, PointerSizedHandlesReadAsTheSameNumbers) {
    test::TempDir dir;
    test::WriteEvtx(dir.File("hex.evtx"), kScenario);
    const std::vector<Rendered> hex = ReadModern(dir.File("hex.evtx"));
    for (const int width : {4, 8}) {
        SCOPED_TRACE(width);
        test::WriteEvtx(dir.File("p.evtx"), PointerSized(kScenario, width));
        const std::vector<Rendered> pointer = ReadModern(dir.File("p.evtx"));
        ASSERT_EQ(pointer.size(), hex.size());
        for (std::size_t i = 0; i < hex.size(); ++i) {
            EXPECT_EQ(Items(pointer[i]), Items(hex[i])) << "event " << i;
        }
        EXPECT_EQ(DataValue(pointer[0], "HandleId"), "0x1a4");
        EXPECT_EQ(DataValue(pointer[2], "ProcessId"), "0x420");
        formats::EvtxFile file;
        ASSERT_EQ(platform::posix::OpenEvtxFile(file, dir.File("p.evtx")), 0);
        EXPECT_EQ(file.Damage().places.Count(), 0u);
    }
}

// python3-evtx reads the values our reader reads, hex numbers padded (and
// pointers in decimal), non-ASCII as character references.
void ExpectEvtxDumpReadsTheSame(const std::string& scenario) {
    test::TempDir dir;
    test::WriteEvtx(dir.File("s.evtx"), scenario);
    const std::vector<Rendered> ours = ReadModern(dir.File("s.evtx"));
    const test::CommandResult r =
        test::RunCommand("evtx_dump.py '" + dir.File("s.evtx") + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.output;
    // Its values in document order: hex numbers padded, non-ASCII as character references.
    static const std::regex kData(R"re(<Data Name="([^"]+)">([^<]*)</Data>)re");
    std::vector<std::pair<std::string, std::string>> theirs;
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), kData);
         it != std::sregex_iterator(); ++it) {
        theirs.emplace_back((*it)[1], (*it)[2]);
    }
    std::size_t next = 0;
    for (const Rendered& event : ours) {
        EXPECT_NE(r.output.find("<EventID>" + std::to_string(event.id) + "</EventID>"),
                  std::string::npos);
        for (const EVT_DATA_ITEM& item : event.data) {
            ASSERT_LT(next, theirs.size());
            const auto& [name, text] = theirs[next++];
            EXPECT_EQ(name, item.name);
            if (item.text.starts_with("0x")) {
                EXPECT_EQ(std::stoull(text, nullptr, 0), std::stoull(item.text, nullptr, 16))
                    << name;
            } else if (item.text == "Jörg") {
                EXPECT_EQ(text, "J&#246;rg");
            } else {
                EXPECT_EQ(text, item.text) << name;
            }
        }
    }
    EXPECT_EQ(next, theirs.size());
    EXPECT_NE(r.output.find("<TimeCreated SystemTime=\"2026-03-14 08:05:33.250000\">"),
              std::string::npos);
}

TEST(EvtxWriter, EvtxDumpReadsWhatOurReaderReads) {
    if (!test::HaveProgram("evtx_dump.py")) {
        GTEST_SKIP() << "evtx_dump.py (python3-evtx) is not installed";
    }
    for (const int width : {0, 4}) {
        SCOPED_TRACE(width);
        ExpectEvtxDumpReadsTheSame(width == 0 ? kScenario : PointerSized(kScenario, width));
    }
}

TEST(EvtWriter, ClassicLogReadsBackAndAgreesWithEvtexport) {
    test::TempDir dir;
    std::string scenario = kScenario;
    scenario = std::regex_replace(scenario, std::regex("\"id\":4656"), "\"id\":560");
    scenario = std::regex_replace(scenario, std::regex("\"id\":4663"), "\"id\":567");
    scenario = std::regex_replace(scenario, std::regex("\"id\":4658"), "\"id\":562");
    scenario = std::regex_replace(scenario, std::regex("\"id\":4660"), "\"id\":564");
    test::WriteEvt(dir.File("s.evt"), scenario);
    EXPECT_EQ(
        test::OurEventCounts(dir.File("s.evt")),
        (std::map<std::uint32_t, std::size_t>{{560, 2}, {562, 1}, {564, 1}, {567, 1}, {4624, 1}}));
    if (!test::HaveProgram("evtexport")) {
        GTEST_SKIP() << "evtexport (libevt-utils) is not installed";
    }
    const test::CommandResult r = test::RunCommand("evtexport '" + dir.File("s.evt") + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Event identifier\t\t: 0x00000230 (560)"), std::string::npos);
    EXPECT_NE(r.output.find("Event type\t\t\t: Failure Audit event (16)"), std::string::npos);
    EXPECT_NE(r.output.find("String: 3\t\t\t: D:\\Records\\case12.zrm"), std::string::npos);
    EXPECT_NE(r.output.find("String: 6\t\t\t: %%4417"), std::string::npos);  // 567's access codes
    EXPECT_NE(r.output.find("String: 8\t\t\t: Jörg"), std::string::npos);
    EXPECT_NE(r.output.find("Creation time\t\t\t: Mar 14, 2026 08:05:33 UTC"), std::string::npos);
}

TEST(EvtWriter, CircularLogWrapsLikeWindows) {
    test::TempDir dir;
    std::string scenario;
    for (int i = 0; i < 1000; ++i) {
        scenario +=
            R"({"id":567,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) + "}\n";
    }
    test::WriteEvt(dir.File("w.evt"), scenario, 0x10000);
    formats::EvtFile file;
    ASSERT_EQ(platform::posix::OpenEvtFile(file, dir.File("w.evt")), 0);
    EXPECT_TRUE(file.Header().flags & 2);
    ASSERT_GT(file.Records().size(), 100u);
    ASSERT_LT(file.Records().size(), 1000u);
    // The newest records survive, oldest first, numbered without gaps.
    EXPECT_EQ(file.Records().back().recordNumber, 1000u);
    for (std::size_t i = 1; i < file.Records().size(); ++i) {
        EXPECT_EQ(file.Records()[i].recordNumber, file.Records()[i - 1].recordNumber + 1);
    }
    bool split = false;
    for (const auto& place : file.Records()) {
        split = split || place.offset + place.length > 0x10000;
    }
    EXPECT_TRUE(split) << "some record should wrap round the end of the file";
    if (test::HaveProgram("evtexport")) {
        const test::CommandResult r =
            test::RunCommand("evtexport '" + dir.File("w.evt") + "' 2>&1");
        std::size_t count = 0;
        for (std::size_t at = r.output.find("Event number"); at != std::string::npos;
             at = r.output.find("Event number", at + 1)) {
            ++count;
        }
        EXPECT_EQ(count, file.Records().size());
    }
}

TEST(ScenarioReader, RejectsBadLinesNamingThem) {
    test::TempDir dir;
    EXPECT_THROW(test::WriteEvtx(dir.File("x.evtx"), "{\"id\":4656}\n"), std::runtime_error);
    try {
        test::WriteEvtx(
            dir.File("x.evtx"),
            "{\"id\":4656,\"time\":\"2026-03-14T08:05:33Z\"}\n{\"id\":1,\"time\":\"yesterday\"}\n");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
    EXPECT_THROW(
        test::WriteEvtx(dir.File("x.evtx"),
                        "{\"id\":4656,\"time\":\"2026-03-14T08:05:33Z\",\"handle\":[1]}\n"),
        std::runtime_error);
}

}  // namespace
}  // namespace vzrm
