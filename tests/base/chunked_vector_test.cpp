#include <gtest/gtest.h>

#include "base/chunked_vector.h"

namespace vzrm {
namespace {

TEST(ChunkedVector, KeepsItsItemsInPlaceAcrossBlocksAndShrinks) {
    CChunkedVector<int, 4> items;
    EXPECT_TRUE(items.empty());
    items.push_back(0);
    const int* first = &items[0];
    for (int i = 1; i < 11; ++i) {
        items.push_back(i);
    }
    ASSERT_EQ(items.size(), 11u);
    EXPECT_EQ(&items[0], first);  // growing moved nothing
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(items[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(items.back(), 10);

    // Down to the end of a block, into one, to nothing: what stays is kept,
    // and pushing again fills the places that went.
    items.shrink_to(8);
    EXPECT_EQ(items.back(), 7);
    items.shrink_to(20);
    EXPECT_EQ(items.size(), 8u);
    items.shrink_to(5);
    items.push_back(50);
    items.push_back(60);
    items.push_back(70);
    items.push_back(80);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[4], 4);
    EXPECT_EQ(items[5], 50);
    EXPECT_EQ(items[8], 80);
    items.shrink_to(0);
    EXPECT_TRUE(items.empty());
    items.push_back(9);
    EXPECT_EQ(items.back(), 9);

    // Moved away, it is empty and takes items again.
    CChunkedVector<int, 4> taken(std::move(items));
    EXPECT_EQ(taken.back(), 9);
    EXPECT_TRUE(items.empty());  // NOLINT(bugprone-use-after-move): what a move leaves
    items.push_back(1);
    EXPECT_EQ(items[0], 1);
    items = std::move(taken);
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], 9);
}

}  // namespace
}  // namespace vzrm
