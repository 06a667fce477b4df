// How far a read has come, as both log interfaces tell it for the progress
// line: never backwards, inside the file, at its size when the read is done.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

// Enough events for several EVTX chunks and several classic read buffers.
std::string Scenario(std::uint32_t id) {
    std::string scenario;
    for (int i = 0; i < 1500; ++i) {
        scenario += R"({"id":)" + std::to_string(id) + R"(,"time":"2026-03-14T08:05:30Z",)" +
                    R"("object":"D:\\Records\\case)" + std::to_string(i) + R"(.zrm"})" + "\n";
    }
    return scenario;
}

struct Step {
    std::uint64_t position = 0;
    std::uint64_t size = 0;
};

// The positions after each read; the first is the one before any read.
void ExpectSteadyToTheEnd(const std::vector<Step>& steps, std::uint64_t fileSize) {
    ASSERT_GE(steps.size(), 4u) << "several reads";
    EXPECT_LT(steps.front().position, fileSize / 10) << "starts near the head";
    for (std::size_t i = 1; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].size, fileSize);
        EXPECT_GE(steps[i].position, steps[i - 1].position) << i;
    }
    EXPECT_LT(steps[steps.size() - 2].position, fileSize) << "not at the end before the last read";
    EXPECT_EQ(steps.back().position, fileSize);
}

TEST(ReadPosition, ModernQueriesGoThroughTheFileBatchByBatch) {
    test::TempDir dir;
    test::WriteEvtx(dir.File("Security.evtx"), Scenario(4663));
    const std::uint64_t fileSize = std::filesystem::file_size(dir.File("Security.evtx"));
    ASSERT_GT(fileSize, 4 * 0x10000u) << "several chunks";
    posix::FileModernEventLog log;
    EVT_HANDLE query = 0;
    ASSERT_EQ(log.Query(dir.File("Security.evtx"), "*", EvtQueryFilePath, query), 0);
    std::vector<Step> steps(1);
    ASSERT_TRUE(log.ReadPosition(query, steps[0].position, steps[0].size));
    EVT_HANDLE events[200];
    std::uint32_t returned = 0;
    while (log.Next(query, events, kEvtInfinite, returned) == kErrorSuccess) {
        for (std::uint32_t i = 0; i < returned; ++i) {
            log.Close(events[i]);
        }
        Step& step = steps.emplace_back();
        ASSERT_TRUE(log.ReadPosition(query, step.position, step.size));
    }
    ExpectSteadyToTheEnd(steps, fileSize);

    // Only a query has a position.
    Step none{1, 1};
    EXPECT_FALSE(log.ReadPosition(query + 1000, none.position, none.size));
    EXPECT_EQ(none.position + none.size, 0u);
    log.Close(query);
    EXPECT_FALSE(log.ReadPosition(query, none.position, none.size));
}

TEST(ReadPosition, ClassicReadsCountTheRecordsReturned) {
    test::TempDir dir;
    test::WriteEvt(dir.File("Security.evt"), Scenario(560));
    const std::uint64_t fileSize = std::filesystem::file_size(dir.File("Security.evt"));
    posix::FileClassicEventLog log;
    EventLogHandle handle = 0;
    ASSERT_EQ(log.OpenBackup(dir.File("Security.evt"), handle), 0);
    std::vector<Step> steps(1);
    ASSERT_TRUE(log.ReadPosition(handle, steps[0].position, steps[0].size));
    std::vector<std::uint8_t> buffer(0x10000);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    const std::uint32_t forwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
    while (log.Read(handle, forwards, 0, buffer, read, needed) == kErrorSuccess) {
        Step& step = steps.emplace_back();
        ASSERT_TRUE(log.ReadPosition(handle, step.position, step.size));
    }
    ExpectSteadyToTheEnd(steps, fileSize);

    // Backwards from the newest: the records returned count the same way.
    EventLogHandle back = 0;
    ASSERT_EQ(log.OpenBackup(dir.File("Security.evt"), back), 0);
    const std::uint32_t backwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ;
    ASSERT_EQ(log.Read(back, backwards, 0, buffer, read, needed), kErrorSuccess);
    Step first;
    ASSERT_TRUE(log.ReadPosition(back, first.position, first.size));
    EXPECT_GT(first.position, 0u);
    EXPECT_LT(first.position, fileSize / 2);
    log.Close(back);
    log.Close(handle);
    EXPECT_FALSE(log.ReadPosition(handle, first.position, first.size));
}

}  // namespace
}  // namespace vzrm
