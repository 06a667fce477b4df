#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "base/batch_pipeline.h"

namespace vzrm {
namespace {

struct Seen {
    std::vector<int> values;
    std::size_t elsewhere = 0;  // items the sink had on another thread than the adding one
};

void AddRange(CBatchPipeline<int>& pipeline, int from, int to) {
    for (int i = from; i < to; ++i) {
        pipeline.Place() = i;
        pipeline.Add();
    }
}

// Up to a batch of items no thread is started: a small run is spared its
// start. Above it the sink has the items on its thread. Either way, and
// across a Finish in the middle, every item arrives once and in order.
TEST(BatchPipeline, EveryItemArrivesOnceInOrderOnWhicheverThread) {
    const std::thread::id adding = std::this_thread::get_id();
    for (const int count : {0, 1, 255, 256, 257, 1000, 3000}) {
        Seen seen;
        {
            CBatchPipeline<int> pipeline([&](int& value) {
                seen.values.push_back(value);
                seen.elsewhere += std::this_thread::get_id() != adding ? 1 : 0;
            });
            EXPECT_TRUE(pipeline.Threaded());
            AddRange(pipeline, 0, count);
            pipeline.Finish();
            ASSERT_EQ(seen.values.size(), static_cast<std::size_t>(count)) << count;
            for (int i = 0; i < count; ++i) {
                ASSERT_EQ(seen.values[static_cast<std::size_t>(i)], i) << count;
            }
            if (count <= 256) {
                EXPECT_EQ(seen.elsewhere, 0u) << count;
            } else {
                EXPECT_GT(seen.elsewhere, 0u) << count;
            }
        }
    }

    Seen seen;
    CBatchPipeline<int> pipeline([&](int& value) { seen.values.push_back(value); });
    AddRange(pipeline, 0, 100);
    pipeline.Finish();  // in place: no thread yet
    EXPECT_EQ(seen.values.size(), 100u);
    AddRange(pipeline, 100, 700);  // the thread starts with the first full batch
    pipeline.Finish();
    AddRange(pipeline, 700, 710);
    pipeline.Finish();
    ASSERT_EQ(seen.values.size(), 710u);
    for (int i = 0; i < 710; ++i) {
        ASSERT_EQ(seen.values[static_cast<std::size_t>(i)], i);
    }
}

// What the sink throws comes back from Finish, and no item after the one
// that failed reaches the sink, in place or on the sink's thread.
TEST(BatchPipeline, ASinkFailureComesBackAndTheItemsAfterItAreDropped) {
    for (const int failing : {10, 600}) {
        std::vector<int> seen;
        CBatchPipeline<int> pipeline([&](int& value) {
            if (value == failing) {
                throw std::runtime_error("disk full");
            }
            seen.push_back(value);
        });
        AddRange(pipeline, 0, 1000);
        EXPECT_THROW(pipeline.Finish(), std::runtime_error) << failing;
        ASSERT_EQ(seen.size(), static_cast<std::size_t>(failing)) << failing;
        EXPECT_EQ(seen.back(), failing - 1);
    }
}

}  // namespace
}  // namespace vzrm
