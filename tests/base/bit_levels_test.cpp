#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <set>

#include "base/bit_levels.h"

namespace vzrm {
namespace {

// Against a std::set over sizes that need one, two and four levels, with
// bits set and cleared at random and searches from everywhere.
TEST(BitLevels, FindsTheNextAndPreviousSetBitAtEverySize) {
    std::mt19937 random(7);
    for (const std::size_t size : {1u, 63u, 64u, 65u, 4095u, 4097u, 300'000u}) {
        CBitLevels bits;
        std::set<std::size_t> set;
        for (std::size_t i = 0; i < size; ++i) {
            const bool on = random() % 3 == 0;
            bits.PushBack(on);
            if (on) {
                set.insert(i);
            }
        }
        ASSERT_EQ(bits.size(), size);
        for (int step = 0; step < 20'000; ++step) {
            const std::size_t i = random() % size;
            if (random() % 2 == 0) {
                bits.Reset(i);
                set.erase(i);
            } else {
                bits.Set(i);
                set.insert(i);
            }
            const std::size_t from = random() % size;
            ASSERT_EQ(bits.Test(from), set.count(from) == 1);
            const auto next = set.lower_bound(from);
            ASSERT_EQ(bits.NextSet(from),
                      next == set.end() ? std::nullopt : std::optional<std::size_t>(*next));
            const auto after = set.upper_bound(from);
            ASSERT_EQ(bits.PrevSet(from), after == set.begin()
                                              ? std::nullopt
                                              : std::optional<std::size_t>(*std::prev(after)));
        }
    }
}

TEST(BitLevels, LongRunsOfClearBitsAndAFreshStart) {
    CBitLevels bits;
    for (std::size_t i = 0; i < 1'000'000; ++i) {
        bits.PushBack(i == 3 || i == 999'990);
    }
    EXPECT_EQ(bits.NextSet(4), std::optional<std::size_t>(999'990));
    EXPECT_EQ(bits.PrevSet(999'989), std::optional<std::size_t>(3));
    EXPECT_EQ(bits.NextSet(999'991), std::nullopt);
    EXPECT_EQ(bits.NextSet(5'000'000), std::nullopt);
    bits.Reset(3);
    EXPECT_EQ(bits.PrevSet(999'989), std::nullopt);
    bits.AssignSet(70);
    EXPECT_EQ(bits.size(), 70u);
    EXPECT_EQ(bits.NextSet(69), std::optional<std::size_t>(69));
    EXPECT_EQ(bits.PrevSet(1000), std::optional<std::size_t>(69));
    EXPECT_EQ(bits.NextSet(70), std::nullopt);
}

}  // namespace
}  // namespace vzrm
