#include "audit/event_interpreter.h"

#include <gtest/gtest.h>

#include <vector>

namespace vzrm {
namespace {

constexpr std::int64_t kT0 = 1'773'479'133;
const char kRecorder[] = "C:\\Rec\\pramvoxe.exe";
const char kCleaner[] = "C:\\Rec\\soskavir.exe";
const char kCopy[] = "C:\\Tools\\copy.exe";
const char kFile[] = "D:\\R\\a.zrm";

struct Ev {
    AUDIT_ACTION action;
    std::uint32_t handle;
    std::string object;
    std::int64_t dt = 0;  // seconds after kT0
    std::uint32_t pid = 100;
    std::string process = kRecorder;
};

struct Row {
    AUDIT_ACTION action;
    std::uint32_t handle;
    std::string object;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.action << ", 0x" << std::hex << row.handle << std::dec << ", "
               << row.object << "}";
}

std::vector<Row> Interpret(const std::vector<Ev>& events,
                           std::optional<std::int64_t> start = std::nullopt,
                           std::optional<std::int64_t> end = std::nullopt,
                           std::size_t dropRemovedAt = CEventInterpreter::kDropRemovedAt) {
    CEventInterpreter interpreter(".zrm", dropRemovedAt);
    std::uint64_t number = 0;
    for (const Ev& e : events) {
        AUDIT_RECORD r;
        r.action = e.action;
        r.handleId = e.handle;
        r.objectName = e.object;
        r.time = kT0 + e.dt;
        r.processId = e.pid;
        r.processName = e.process;
        r.recordNumber = ++number;
        interpreter.AddRecord(r);
    }
    interpreter.ClearHandleMaps();
    interpreter.PairRecords();
    interpreter.FilterPeriod(start, end);
    std::vector<Row> rows;
    for (const AUDIT_RECORD& r : interpreter.TakeRecords()) {
        rows.push_back({r.action, r.handleId, r.objectName});
    }
    return rows;
}

using Rows = std::vector<Row>;

TEST(Interpretation, OpenAndCloseWithoutAccessLeaveNothing) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile}, {ACTION_CLOSE, 0x50, ""}}), Rows{});
    // Attribute reads (or the delete right) on the handle change nothing.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_READ_ATTRIBUTES, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, ""}}),
              Rows{});
}

TEST(Interpretation, FirstWriteTurnsTheOpenIntoACreate) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile, 1},
                         {ACTION_CLOSE, 0x50, "", 2}}),
              (Rows{{ACTION_CREATE, 0x50, kFile}, {ACTION_CLOSE, 0x50, kFile}}));
}

TEST(Interpretation, WriteAfterARecentCloseBySameProcessStaysAWrite) {
    // The same process closed the file a moment ago: this is a reopen, not a new file.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x40, kFile},
                         {ACTION_READ_DATA, 0x40, kFile},
                         {ACTION_CLOSE, 0x40, ""},
                         {ACTION_OPEN, 0x50, kFile, 5},
                         {ACTION_OPEN, 0x60, "D:\\R\\other.zrm", 5},
                         {ACTION_WRITE, 0x50, kFile, 5},
                         {ACTION_WRITE, 0x50, kFile, 6},
                         {ACTION_CLOSE, 0x50, "", 7}}),
              (Rows{{ACTION_OPEN, 0x40, kFile},
                    {ACTION_CLOSE, 0x40, kFile},
                    {ACTION_CREATE, 0x50, kFile},
                    {ACTION_OPEN, 0x60, "D:\\R\\other.zrm"},
                    {ACTION_CLOSE, 0x50, kFile}}))
        << "close at 0, write at 5: too far apart, so the open became a create";

    // Close at 4, then an open and a write by the same process within a second.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x40, kFile, 3},
                         {ACTION_READ_DATA, 0x40, kFile, 3},
                         {ACTION_CLOSE, 0x40, "", 4},
                         {ACTION_OPEN, 0x60, "D:\\R\\other.zrm", 4},
                         {ACTION_OPEN, 0x50, kFile, 5},
                         {ACTION_WRITE, 0x50, kFile, 5},
                         {ACTION_WRITE, 0x50, kFile, 5},
                         {ACTION_CLOSE, 0x50, "", 9}}),
              (Rows{{ACTION_OPEN, 0x40, kFile},
                    {ACTION_OPEN, 0x60, "D:\\R\\other.zrm"},
                    {ACTION_WRITE, 0x50, kFile},
                    {ACTION_CLOSE, 0x50, kFile}}))
        << "the close at 4 and the reopen at 5 merge; the first write is reported once";
}

TEST(Interpretation, RecorderDeletingAShortLivedFileHidesItsWholeLife) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile},
                         {ACTION_OPEN, 0x60, "D:\\R\\keep.zrm", 0, 200, kCopy},
                         {ACTION_CLOSE, 0x50, "", 1},
                         {ACTION_DELETE, 0x70, kFile, 2, 300, kCleaner}}),
              (Rows{{ACTION_OPEN, 0x60, "D:\\R\\keep.zrm"}}));
    // A delete by a program that is not a recorder, or too late, keeps the rows.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, "", 1},
                         {ACTION_DELETE, 0x70, kFile, 2, 300, kCopy}}),
              (Rows{{ACTION_CREATE, 0x50, kFile},
                    {ACTION_CLOSE, 0x50, kFile},
                    {ACTION_DELETE, 0x70, kFile}}));
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, "", 1},
                         {ACTION_DELETE, 0x70, kFile, 3, 300, kCleaner}}),
              (Rows{{ACTION_CREATE, 0x50, kFile},
                    {ACTION_CLOSE, 0x50, kFile},
                    {ACTION_DELETE, 0x70, kFile}}));
}

TEST(Interpretation, CloseAndQuickReopenBySameProcessMerge) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_READ_DATA, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, "", 10},
                         {ACTION_OPEN, 0x54, "d:\\r\\A.ZRM", 11},
                         {ACTION_READ_DATA, 0x54, "", 11},
                         {ACTION_CLOSE, 0x54, "", 20}}),
              (Rows{{ACTION_OPEN, 0x50, kFile}, {ACTION_CLOSE, 0x54, "d:\\r\\A.ZRM"}}));
    // Another process reopening does not merge.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_READ_DATA, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, "", 10},
                         {ACTION_OPEN, 0x54, kFile, 11, 200, kCopy},
                         {ACTION_READ_DATA, 0x54, "", 11, 200, kCopy},
                         {ACTION_CLOSE, 0x54, "", 20, 200, kCopy}}),
              (Rows{{ACTION_OPEN, 0x50, kFile},
                    {ACTION_CLOSE, 0x50, kFile},
                    {ACTION_OPEN, 0x54, kFile},
                    {ACTION_CLOSE, 0x54, kFile}}));
}

TEST(Interpretation, SecondOpenBySameProcessIsFoldedIntoTheFirst) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_READ_DATA, 0x50, kFile},
                         {ACTION_OPEN, 0x54, kFile, 1},
                         {ACTION_READ_DATA, 0x54, kFile, 1},
                         {ACTION_CLOSE, 0x50, "", 5},
                         {ACTION_CLOSE, 0x54, "", 9}}),
              (Rows{{ACTION_OPEN, 0x50, kFile}, {ACTION_CLOSE, 0x54, kFile}}));
}

TEST(Interpretation, StreamsAreNotFilesButCaseDoesNotMatter) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, "D:\\R\\a.zrm:s"},
                         {ACTION_READ_DATA, 0x50, "D:\\R\\a.zrm:s"},
                         {ACTION_CLOSE, 0x50, ""}}),
              Rows{});
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, "D:\\R\\A.ZRM"},
                         {ACTION_READ_DATA, 0x50, ""},
                         {ACTION_CLOSE, 0x50, ""}}),
              (Rows{{ACTION_OPEN, 0x50, "D:\\R\\A.ZRM"}, {ACTION_CLOSE, 0x50, "D:\\R\\A.ZRM"}}));
}

TEST(Interpretation, NamesAreCanonicalisedAndHandleZeroIsNeverListed) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, "D:\\R\\x\\..\\.\\a.zrm"},
                         {ACTION_READ_DATA, 0x50, ""},
                         {ACTION_OPEN, 0, kFile},
                         {ACTION_DELETE, 0, kFile}}),
              (Rows{{ACTION_OPEN, 0x50, kFile}}));
}

TEST(Interpretation, DeleteOnAnOpenedOnlyHandleKeepsOnlyTheDelete) {
    // The delete ends the handle's state, so its close is not reported either.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_READ_ATTRIBUTES, 0x50, kFile},
                         {ACTION_DELETE, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, ""}}),
              (Rows{{ACTION_DELETE, 0x50, kFile}}));
    // After a read the handle is more than opened: the delete only updates it.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_READ_DATA, 0x50, kFile},
                         {ACTION_DELETE, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, ""}}),
              (Rows{{ACTION_OPEN, 0x50, kFile},
                    {ACTION_DELETE, 0x50, kFile},
                    {ACTION_CLOSE, 0x50, kFile}}));
}

TEST(Interpretation, PeriodStartIsExclusiveAndEndInclusive) {
    const std::vector<Ev> events = {{ACTION_DELETE, 0x50, kFile, 0},
                                    {ACTION_DELETE, 0x54, kFile, 5},
                                    {ACTION_DELETE, 0x58, kFile, 10}};
    EXPECT_EQ(Interpret(events, kT0, kT0 + 10),
              (Rows{{ACTION_DELETE, 0x54, kFile}, {ACTION_DELETE, 0x58, kFile}}));
    EXPECT_EQ(Interpret(events, std::nullopt, kT0 + 9),
              (Rows{{ACTION_DELETE, 0x50, kFile}, {ACTION_DELETE, 0x54, kFile}}));
    EXPECT_EQ(Interpret(events, kT0 + 10, std::nullopt), Rows{});
}

TEST(Interpretation, InterruptedPairingKeepsWhatWasDecided) {
    CEventInterpreter interpreter;
    for (std::uint32_t i = 0; i < 5; ++i) {
        AUDIT_RECORD r;
        r.action = ACTION_DELETE;
        r.handleId = 0x50 + 4 * i;
        r.objectName = kFile;
        r.time = kT0 + i;
        interpreter.AddRecord(r);
    }
    int checks = 0;
    interpreter.PairRecords([&] { return ++checks > 2; });
    EXPECT_EQ(interpreter.RecordCount(), 2u);
}

// Dropping removed records renumbers the rest and makes the text pool anew
// (the texts of the dropped open go): the rules that look a file up by its
// name must still find the records of kFile afterwards.
TEST(Interpretation, DroppingRemovedRecordsChangesNoRow) {
    const char kOther[] = "C:\\Other\\scan.exe";
    const std::vector<Ev> events = {
        {ACTION_OPEN, 0x10, "D:\\R\\gone1.zrm", 0, 7, kOther},
        {ACTION_OPEN, 0x14, "D:\\R\\gone2.zrm", 0, 7, kOther},
        {ACTION_OPEN, 0x20, kFile},
        {ACTION_WRITE, 0x20, kFile},
        {ACTION_CLOSE, 0x20, ""},
        // Opened and closed with nothing done: both opens go, then the drop.
        {ACTION_CLOSE, 0x10, "", 0, 7, kOther},
        {ACTION_CLOSE, 0x14, "", 0, 7, kOther},
        // The same process again within the second: the close of 0x20 must be found.
        {ACTION_OPEN, 0x30, kFile, 1},
        {ACTION_WRITE, 0x30, kFile, 1},
        {ACTION_CLOSE, 0x30, "", 2},
    };
    const Rows expected{
        {ACTION_CREATE, 0x20, kFile}, {ACTION_WRITE, 0x30, kFile}, {ACTION_CLOSE, 0x30, kFile}};
    EXPECT_EQ(Interpret(events), expected);
    EXPECT_EQ(Interpret(events, std::nullopt, std::nullopt, 1), expected);
}

TEST(Interpretation, ReusedHandleRemovesOnlyBackToItsLatestOpen) {
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, "", 1},
                         {ACTION_OPEN, 0x50, "D:\\R\\b.zrm", 30},
                         {ACTION_CLOSE, 0x50, "", 31}}),
              (Rows{{ACTION_CREATE, 0x50, kFile}, {ACTION_CLOSE, 0x50, kFile}}));
}

// A handle keeps only the .zrm path last seen with it, and not past its close.
TEST(Interpretation, AHandlesPathIsTheLastSeenAndGoesWithItsClose) {
    // Another file named on the handle takes the place of the .zrm path: the
    // close lends nothing and the open stays open.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_OPEN, 0x50, "C:\\Temp\\x.tmp"},
                         {ACTION_CLOSE, 0x50, ""}}),
              (Rows{{ACTION_OPEN, 0x50, kFile}}));
    // A handle reused after its close starts without a path.
    EXPECT_EQ(Interpret({{ACTION_OPEN, 0x50, kFile},
                         {ACTION_WRITE, 0x50, kFile},
                         {ACTION_CLOSE, 0x50, "", 1},
                         {ACTION_WRITE, 0x50, "", 30},
                         {ACTION_CLOSE, 0x50, "", 31}}),
              (Rows{{ACTION_CREATE, 0x50, kFile}, {ACTION_CLOSE, 0x50, kFile}}));
}

// The paths of handles still open are texts of the pool, which each drop of
// removed records makes anew: a stream's file, which no record names, must
// come back whole at the handle's later events.
TEST(Interpretation, OpenHandlesKeepTheirPathsAcrossManyDrops) {
    const char kStreamFile[] = "D:\\R\\s.zrm";
    std::vector<Ev> events = {
        {ACTION_OPEN, 0x1000, std::string(kStreamFile) + ":thumbnail"},
        {ACTION_OPEN, 0x1004, kFile},
        {ACTION_READ_DATA, 0x1004, kFile},
    };
    // Opened and closed with nothing done, on handles that Windows reuses:
    // each close removes its open, and the drops follow.
    for (int i = 0; i < 300; ++i) {
        const auto handle = static_cast<std::uint32_t>(0x40 + 4 * (i % 7));
        events.push_back({ACTION_OPEN, handle, "D:\\R\\t" + std::to_string(i) + ".zrm"});
        events.push_back({ACTION_CLOSE, handle, ""});
    }
    events.push_back({ACTION_READ_DATA, 0x1000, "", 5});
    events.push_back({ACTION_WRITE, 0x1000, "", 5});
    events.push_back({ACTION_CLOSE, 0x1000, "", 5});
    events.push_back({ACTION_CLOSE, 0x1004, "", 5});
    const Rows expected{{ACTION_OPEN, 0x1004, kFile},
                        {ACTION_WRITE, 0x1000, kStreamFile},
                        {ACTION_CLOSE, 0x1000, kStreamFile},
                        {ACTION_CLOSE, 0x1004, kFile}};
    EXPECT_EQ(Interpret(events), expected);
    EXPECT_EQ(Interpret(events, std::nullopt, std::nullopt, 1), expected);
    EXPECT_EQ(Interpret(events, std::nullopt, std::nullopt, 16), expected);
}

}  // namespace
}  // namespace vzrm
