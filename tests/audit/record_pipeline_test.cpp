#include "audit/record_pipeline.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vzrm {
namespace {

// Adds events 0 .. count-1, each with its number as record number and text.
void AddNumbered(CRecordPipeline& pipeline, std::uint64_t count) {
    for (std::uint64_t n = 0; n < count; ++n) {
        PendingRecord& place = pipeline.Place();
        place.record = {};
        place.record.recordNumber = n;
        place.message = std::to_string(n);
        place.classic = n % 2 == 1;
        pipeline.Add();
    }
}

// Many batches, their places reused: every event arrives once, in order,
// with the texts it was given and not an earlier event's.
TEST(RecordPipeline, EveryEventReachesTheSinkOnceInOrder) {
    std::vector<std::uint64_t> seen;
    bool textsMatch = true;
    CRecordPipeline pipeline([&](PendingRecord& pending) {
        seen.push_back(pending.record.recordNumber);
        textsMatch = textsMatch && pending.message == std::to_string(pending.record.recordNumber) &&
                     pending.classic == (pending.record.recordNumber % 2 == 1);
    });
    AddNumbered(pipeline, 10000);
    pipeline.Finish();
    ASSERT_EQ(seen.size(), 10000u);
    for (std::uint64_t n = 0; n < seen.size(); ++n) {
        ASSERT_EQ(seen[n], n);
    }
    EXPECT_TRUE(textsMatch);
    EXPECT_FALSE(pipeline.Failed());

    // A place taken but not added is never handed on.
    pipeline.Place().record.recordNumber = 99999;
    pipeline.Finish();
    EXPECT_EQ(seen.size(), 10000u);
}

// What the sink throws comes back from Finish, and nothing after it is handled.
TEST(RecordPipeline, TheSinksFailureStopsItAndComesBackFromFinish) {
    std::vector<std::uint64_t> seen;
    CRecordPipeline pipeline([&](PendingRecord& pending) {
        if (pending.record.recordNumber == 700) {
            throw std::runtime_error("no memory");
        }
        seen.push_back(pending.record.recordNumber);
    });
    AddNumbered(pipeline, 2000);
    EXPECT_THROW(pipeline.Finish(), std::runtime_error);
    EXPECT_TRUE(pipeline.Failed());
    ASSERT_EQ(seen.size(), 700u);
    EXPECT_EQ(seen.back(), 699u);
}

// A read that ends by an exception leaves the pipeline to its destructor:
// the events added are still handled, and a failure is not thrown again.
TEST(RecordPipeline, TheDestructorFinishesWithoutThrowing) {
    std::vector<std::uint64_t> seen;
    {
        CRecordPipeline pipeline(
            [&](PendingRecord& pending) { seen.push_back(pending.record.recordNumber); });
        AddNumbered(pipeline, 300);
    }
    EXPECT_EQ(seen.size(), 300u);
    EXPECT_NO_THROW({
        CRecordPipeline pipeline([](PendingRecord&) { throw std::runtime_error("bad"); });
        AddNumbered(pipeline, 10);
    });
}

}  // namespace
}  // namespace vzrm
