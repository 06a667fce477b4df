// Handles of the event-log interfaces: a closed handle never names the
// object that took its place.
#include "platform/posix/eventlog/handle_table.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <vector>

namespace vzrm::platform::posix {
namespace {

TEST(HandleTable, ClosedHandlesStayInvalidWhenTheirSlotIsReused) {
    HandleTable<int> table;
    const EVT_HANDLE first = table.Add(std::make_unique<int>(1));
    const EVT_HANDLE second = table.Add(std::make_unique<int>(2));
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    ASSERT_NE(table.Find(first), nullptr);
    EXPECT_EQ(*table.Find(first), 1);

    EXPECT_EQ(*table.Remove(first), 1);
    EXPECT_EQ(table.Find(first), nullptr);
    EXPECT_EQ(table.Remove(first), nullptr);  // closed twice
    const EVT_HANDLE third = table.Add(std::make_unique<int>(3));
    EXPECT_NE(third, first);  // the same slot, another use
    EXPECT_EQ(table.Find(first), nullptr);
    EXPECT_EQ(*table.Find(third), 3);
    EXPECT_EQ(*table.Find(second), 2);

    for (const EVT_HANDLE unknown :
         {EVT_HANDLE{0}, EVT_HANDLE{77}, third ^ (EVT_HANDLE{1} << 40), third & 0xFFFFFFFFu}) {
        EXPECT_EQ(table.Find(unknown), nullptr) << unknown;
        EXPECT_EQ(table.Remove(unknown), nullptr) << unknown;
    }
}

// A log's two tables never take each other's handles, though their slots
// and uses are counted alike.
TEST(HandleTable, AMarkedTablesHandlesAreItsOwn) {
    HandleTable<int> plain;
    HandleTable<int> marked(true);
    const EVT_HANDLE fromPlain = plain.Add(std::make_unique<int>(1));
    const EVT_HANDLE fromMarked = marked.Add(std::make_unique<int>(2));
    EXPECT_FALSE(HandleTable<int>::Marked(fromPlain));
    EXPECT_TRUE(HandleTable<int>::Marked(fromMarked));
    EXPECT_EQ(plain.Find(fromMarked), nullptr);
    EXPECT_EQ(marked.Find(fromPlain), nullptr);
    EXPECT_EQ(plain.Remove(fromMarked), nullptr);
    EXPECT_EQ(marked.Remove(fromPlain), nullptr);
    EXPECT_EQ(*plain.Find(fromPlain), 1);
    EXPECT_EQ(*marked.Remove(fromMarked), 2);
    EXPECT_EQ(marked.Find(fromMarked), nullptr);
}

TEST(HandleTable, EveryHandleGivenIsNewAndNamesItsOwnObject) {
    HandleTable<int> table;
    std::set<EVT_HANDLE> given;
    std::deque<std::pair<EVT_HANDLE, int>> open;
    std::vector<EVT_HANDLE> closed;
    for (int i = 0; i < 1000; ++i) {
        const EVT_HANDLE handle = table.Add(std::make_unique<int>(i));
        EXPECT_TRUE(given.insert(handle).second) << i;
        open.emplace_back(handle, i);
        if (i % 3 != 0) {  // the oldest goes: slots are reused all the time
            const auto [oldest, value] = open.front();
            open.pop_front();
            const std::unique_ptr<int> removed = table.Remove(oldest);
            ASSERT_NE(removed, nullptr);
            EXPECT_EQ(*removed, value);
            closed.push_back(oldest);
        }
    }
    for (const auto& [handle, value] : open) {
        ASSERT_NE(table.Find(handle), nullptr);
        EXPECT_EQ(*table.Find(handle), value);
    }
    for (const EVT_HANDLE handle : closed) {
        EXPECT_EQ(table.Find(handle), nullptr);
    }
}

}  // namespace
}  // namespace vzrm::platform::posix
