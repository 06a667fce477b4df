// Collector logs through the reader: one file with the events of several
// machines, whose handles repeat.
#include <gtest/gtest.h>

#include <regex>

#include "audit/security_log_reader.h"
#include "base/error_info.h"
#include "support/fake_services.h"
#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/scoped_registry.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

class CollectorLog : public ::testing::Test {
  protected:
    void SetUp() override { g_errorInfo.Clear(); }

    std::vector<AUDIT_RECORD> Read(const std::string& file, bool archives = false) {
        test::ScopedEnv log("VZRM_SECURITY_LOG", file.c_str());
        CSecurityLogReader reader;
        reader.SetReadArchives(archives);
        EXPECT_TRUE(reader.OpenReader());
        EXPECT_EQ(reader.ReadPeriod({}, {}), 1) << g_errorInfo.Render();
        latest = reader.LatestEventTime();
        return reader.TakeRecords();
    }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    std::int64_t latest = 0;
};

// Two machines using the same handle at the same time, their events interleaved.
const char kTwoMachines[] =
    R"({"id":4656,"time":"2026-03-14T08:05:33Z","computer":"PC1","handle":"0x204","object":"D:\\R\\one.zrm"}
{"id":4656,"time":"2026-03-14T08:05:33Z","computer":"PC2","handle":"0x204","object":"D:\\R\\two.zrm"}
{"id":4663,"time":"2026-03-14T08:05:34Z","computer":"PC1","handle":"0x204","object":"D:\\R\\one.zrm","mask":2}
{"id":4663,"time":"2026-03-14T08:05:34Z","computer":"PC2","handle":"0x204","object":"D:\\R\\two.zrm","mask":2}
{"id":4658,"time":"2026-03-14T08:05:35Z","computer":"PC1","handle":"0x204"}
{"id":4658,"time":"2026-03-14T08:05:35Z","computer":"pc2","handle":"0x204"}
)";

std::string Classic(std::string scenario) {
    for (const auto& [from, to] : {std::pair{"4656", "560"}, {"4663", "567"}, {"4658", "562"}}) {
        scenario = std::regex_replace(scenario, std::regex(std::string("\"id\":") + from),
                                      std::string("\"id\":") + to);
    }
    return scenario;
}

struct Row {
    std::string computer;
    AUDIT_ACTION action;
    std::string object;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.computer << ", " << row.action << ", " << row.object << "}";
}

std::vector<Row> Rows(const std::vector<AUDIT_RECORD>& records) {
    std::vector<Row> rows;
    for (const AUDIT_RECORD& r : records) {
        rows.push_back({r.computer, r.action, r.objectName});
    }
    return rows;
}

TEST_F(CollectorLog, EachMachineGetsItsCreateAndCloseInBothFormats) {
    test::WriteEvtx(store.Dir().File("ForwardedEvents.evtx"), kTwoMachines);
    test::WriteEvt(store.Dir().File("ForwardedEvents.evt"), Classic(kTwoMachines));
    const std::vector<Row> expected = {{"PC1", ACTION_CREATE, "D:\\R\\one.zrm"},
                                       {"PC2", ACTION_CREATE, "D:\\R\\two.zrm"},
                                       {"PC1", ACTION_CLOSE, "D:\\R\\one.zrm"},
                                       {"pc2", ACTION_CLOSE, "D:\\R\\two.zrm"}};
    EXPECT_EQ(Rows(Read(store.Dir().File("ForwardedEvents.evtx"))), expected);
    EXPECT_EQ(Rows(Read(store.Dir().File("ForwardedEvents.evt"))), expected);
}

// A real collector's log (three machines' 4656 events on a WS-Management
// listener, values stored as text): no file records, and the newest event
// still counts, with or without archives.
TEST_F(CollectorLog, TheForwardedEventsSampleReadsAsBefore) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    const std::string sample = test::SamplesDir() + "/odd-wec-rendered-4656-wsman.evtx";
    for (const bool archives : {false, true}) {
        SCOPED_TRACE(archives);
        EXPECT_TRUE(Read(sample, archives).empty());
        EXPECT_EQ(latest, 1643188618);  // 2022-01-26 09:16:58 UTC, the last in the log
    }
}

}  // namespace
}  // namespace vzrm
