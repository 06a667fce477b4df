// A collector's log holds the events of many machines, whose handles,
// process IDs and paths repeat: the interpretation pairs them per machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "audit/event_interpreter.h"
#include "base/case_fold.h"
#include "event_generator.h"

namespace vzrm {
namespace {

constexpr std::int64_t kT0 = 1'773'479'133;
const char kRecorder[] = "C:\\Rec\\pramvoxe.exe";
const char kCleaner[] = "C:\\Rec\\soskavir.exe";

struct Ev {
    const char* computer;
    AUDIT_ACTION action;
    std::uint32_t handle;
    std::string object;
    std::int64_t dt = 0;  // seconds after kT0
    std::uint32_t pid = 100;
    std::string process = kRecorder;
};

struct Row {
    std::string computer;
    AUDIT_ACTION action;
    std::string object;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.computer << ", " << row.action << ", " << row.object << "}";
}

using Rows = std::vector<Row>;

std::vector<AUDIT_RECORD> Run(const std::vector<AUDIT_RECORD>& events,
                              std::optional<std::int64_t> start = std::nullopt,
                              std::optional<std::int64_t> end = std::nullopt) {
    CEventInterpreter interpreter;
    for (const AUDIT_RECORD& event : events) {
        interpreter.AddRecord(event);
    }
    interpreter.ClearHandleMaps();
    interpreter.PairRecords();
    interpreter.FilterPeriod(start, end);
    return interpreter.TakeRecords();
}

Rows Interpret(const std::vector<Ev>& events) {
    std::vector<AUDIT_RECORD> records;
    std::uint64_t number = 0;
    for (const Ev& e : events) {
        AUDIT_RECORD r;
        r.computer = e.computer;
        r.action = e.action;
        r.handleId = e.handle;
        r.objectName = e.object;
        r.time = kT0 + e.dt;
        r.processId = e.pid;
        r.processName = e.process;
        r.recordNumber = ++number;
        records.push_back(r);
    }
    Rows rows;
    for (const AUDIT_RECORD& r : Run(records)) {
        rows.push_back({r.computer, r.action, r.objectName});
    }
    return rows;
}

TEST(MachinePairing, TheSameHandleOnTwoMachinesPairsOnEach) {
    EXPECT_EQ(Interpret({{"PC1", ACTION_OPEN, 0x204, "D:\\R\\one.zrm"},
                         {"PC2", ACTION_OPEN, 0x204, "D:\\R\\two.zrm"},
                         {"PC1", ACTION_WRITE, 0x204, "D:\\R\\one.zrm"},
                         {"PC2", ACTION_WRITE, 0x204, "D:\\R\\two.zrm"},
                         {"PC1", ACTION_CLOSE, 0x204, ""},
                         {"PC2", ACTION_CLOSE, 0x204, ""}}),
              (Rows{{"PC1", ACTION_CREATE, "D:\\R\\one.zrm"},
                    {"PC2", ACTION_CREATE, "D:\\R\\two.zrm"},
                    {"PC1", ACTION_CLOSE, "D:\\R\\one.zrm"},
                    {"PC2", ACTION_CLOSE, "D:\\R\\two.zrm"}}));
}

// The report takes the final records one at a time: in log order across the
// machines, as often as asked, and no further than the visitor wants.
TEST(MachinePairing, VisitingTheFinalRecordsWalksThemInLogOrderAndStopsWhenAsked) {
    CEventInterpreter interpreter;
    const std::pair<const char*, const char*> events[] = {
        {"PC1", "D:\\R\\one.zrm"}, {"PC2", "D:\\R\\two.zrm"}, {"pc1", "D:\\R\\three.zrm"}};
    std::uint32_t handle = 0x200;
    for (const auto& [computer, object] : events) {
        AUDIT_RECORD r;
        r.computer = computer;
        r.action = ACTION_DELETE;
        r.handleId = handle += 4;
        r.objectName = object;
        r.processName = kCleaner;
        r.time = kT0;
        interpreter.AddRecord(r);
    }
    interpreter.ClearHandleMaps();
    interpreter.PairRecords();
    interpreter.FilterPeriod(std::nullopt, std::nullopt);

    for (int pass = 0; pass < 2; ++pass) {
        Rows rows;
        EXPECT_TRUE(interpreter.VisitRecords([&](const AUDIT_RECORD& r) {
            rows.push_back({r.computer, r.action, r.objectName});
            return true;
        }));
        EXPECT_EQ(rows, (Rows{{"PC1", ACTION_DELETE, "D:\\R\\one.zrm"},
                              {"PC2", ACTION_DELETE, "D:\\R\\two.zrm"},
                              {"pc1", ACTION_DELETE, "D:\\R\\three.zrm"}}));
    }
    int visited = 0;
    EXPECT_FALSE(interpreter.VisitRecords([&](const AUDIT_RECORD&) { return ++visited < 2; }));
    EXPECT_EQ(visited, 2);
    EXPECT_EQ(interpreter.TakeRecords().size(), 3u);
    EXPECT_EQ(interpreter.RecordCount(), 0u);
}

TEST(MachinePairing, AComputerIsOneMachineWhateverTheCaseOfItsName) {
    // The write on "pc1" belongs to the Open on "PC1"; the close finds its path.
    EXPECT_EQ(
        Interpret({{"PC1", ACTION_OPEN, 0x204, "D:\\R\\one.zrm"},
                   {"pc1", ACTION_WRITE, 0x204, "D:\\R\\one.zrm"},
                   {"Pc1", ACTION_CLOSE, 0x204, ""}}),
        (Rows{{"PC1", ACTION_CREATE, "D:\\R\\one.zrm"}, {"Pc1", ACTION_CLOSE, "D:\\R\\one.zrm"}}));
}

TEST(MachinePairing, RulesAboutTheSameFileOrProcessStayOnTheirMachine) {
    // Another machine closing the same path just before the write does not
    // keep the Open from becoming a Create.
    EXPECT_EQ(Interpret({{"PC2", ACTION_OPEN, 0x30, "D:\\R\\a.zrm"},
                         {"PC2", ACTION_READ_DATA, 0x30, "D:\\R\\a.zrm"},
                         {"PC2", ACTION_CLOSE, 0x30, ""},
                         {"PC1", ACTION_OPEN, 0x40, "D:\\R\\a.zrm"},
                         {"PC1", ACTION_WRITE, 0x40, "D:\\R\\a.zrm"},
                         {"PC1", ACTION_CLOSE, 0x40, "", 1}}),
              (Rows{{"PC2", ACTION_OPEN, "D:\\R\\a.zrm"},
                    {"PC2", ACTION_CLOSE, "D:\\R\\a.zrm"},
                    {"PC1", ACTION_CREATE, "D:\\R\\a.zrm"},
                    {"PC1", ACTION_CLOSE, "D:\\R\\a.zrm"}}));

    // A close on one machine and an open of the same path by the same process
    // ID on another are two accesses, not one continued access.
    EXPECT_EQ(Interpret({{"PC1", ACTION_OPEN, 0x40, "D:\\R\\a.zrm"},
                         {"PC1", ACTION_READ_DATA, 0x40, "D:\\R\\a.zrm"},
                         {"PC1", ACTION_CLOSE, 0x40, ""},
                         {"PC2", ACTION_OPEN, 0x50, "D:\\R\\a.zrm"},
                         {"PC2", ACTION_READ_DATA, 0x50, "D:\\R\\a.zrm"},
                         {"PC2", ACTION_CLOSE, 0x50, "", 1}}),
              (Rows{{"PC1", ACTION_OPEN, "D:\\R\\a.zrm"},
                    {"PC1", ACTION_CLOSE, "D:\\R\\a.zrm"},
                    {"PC2", ACTION_OPEN, "D:\\R\\a.zrm"},
                    {"PC2", ACTION_CLOSE, "D:\\R\\a.zrm"}}));

    // Both machines' opens are reported although process and file agree.
    EXPECT_EQ(Interpret({{"PC1", ACTION_OPEN, 0x40, "D:\\R\\a.zrm"},
                         {"PC2", ACTION_OPEN, 0x40, "D:\\R\\a.zrm"},
                         {"PC1", ACTION_READ_DATA, 0x40, "D:\\R\\a.zrm"},
                         {"PC2", ACTION_READ_DATA, 0x40, "D:\\R\\a.zrm"}}),
              (Rows{{"PC1", ACTION_OPEN, "D:\\R\\a.zrm"}, {"PC2", ACTION_OPEN, "D:\\R\\a.zrm"}}));

    // A recorder deleting its short-lived file removes that file's life only
    // on its own machine.
    EXPECT_EQ(
        Interpret({{"PC1", ACTION_OPEN, 0x40, "D:\\R\\t.zrm"},
                   {"PC2", ACTION_OPEN, 0x44, "D:\\R\\t.zrm"},
                   {"PC1", ACTION_WRITE, 0x40, "D:\\R\\t.zrm"},
                   {"PC2", ACTION_WRITE, 0x44, "D:\\R\\t.zrm"},
                   {"PC1", ACTION_CLOSE, 0x40, ""},
                   {"PC2", ACTION_CLOSE, 0x44, ""},
                   {"PC1", ACTION_DELETE, 0x48, "D:\\R\\t.zrm", 1, 200, kCleaner}}),
        (Rows{{"PC2", ACTION_CREATE, "D:\\R\\t.zrm"}, {"PC2", ACTION_CLOSE, "D:\\R\\t.zrm"}}));
}

// The rows grouped by machine (ignoring case), each machine's rows in order.
std::vector<AUDIT_RECORD> ByMachine(std::vector<AUDIT_RECORD> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const AUDIT_RECORD& a, const AUDIT_RECORD& b) {
        return FoldCase(a.computer) < FoldCase(b.computer);
    });
    return rows;
}

void CompareMergedWithSeparate(std::uint64_t seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    test::EventGenerator gen(seed);
    const std::vector<AUDIT_RECORD> merged = gen.Sequence();
    const auto start = gen.Bound();
    const auto end = gen.Bound();

    std::map<std::string, std::vector<AUDIT_RECORD>> perMachine;
    for (const AUDIT_RECORD& event : merged) {
        perMachine[FoldCase(event.computer)].push_back(event);
    }
    std::vector<AUDIT_RECORD> separate;
    for (const auto& [machine, events] : perMachine) {
        for (AUDIT_RECORD& row : Run(events, start, end)) {
            separate.push_back(std::move(row));
        }
    }
    const std::vector<AUDIT_RECORD> together = ByMachine(Run(merged, start, end));
    ASSERT_EQ(together.size(), separate.size()) << gen.Machines() << " machines";
    for (std::size_t i = 0; i < together.size(); ++i) {
        ASSERT_EQ(together[i], separate[i]) << "row " << i << " of " << together.size();
    }
}

TEST(MachinePairing, OneRunOverACollectorLogEqualsSeparateRunsPerMachine) {
    const std::uint64_t base = std::random_device{}();
    for (std::uint64_t i = 0; i < 400 && !HasFatalFailure(); ++i) {
        CompareMergedWithSeparate(base + i);
    }
    for (std::uint64_t seed = 1; seed <= 100 && !HasFatalFailure(); ++seed) {
        CompareMergedWithSeparate(seed);
    }
}

}  // namespace
}  // namespace vzrm
