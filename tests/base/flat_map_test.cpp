#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "base/flat_map.h"

namespace vzrm {
namespace {

// Every key hashed to a few homes, so that erasures shift long runs of
// collided entries back: a search must never stop short at a hole.
struct Crowded {
    std::size_t operator()(std::uint32_t key) const { return key % 5; }
};

TEST(FlatMap, AgreesWithAnUnorderedMapThroughInsertsAndErasures) {
    std::mt19937 random(11);
    CFlatMap<std::uint32_t, std::uint32_t, Crowded> map;
    std::unordered_map<std::uint32_t, std::uint32_t> expected;
    for (int step = 0; step < 50'000; ++step) {
        const std::uint32_t key = random() % 600;
        switch (random() % 3) {
            case 0: {
                const auto [value, added] = map.Insert(key);
                EXPECT_EQ(added, expected.count(key) == 0);
                *value = static_cast<std::uint32_t>(step);
                expected[key] = static_cast<std::uint32_t>(step);
                break;
            }
            case 1:
                map.Erase(key);
                expected.erase(key);
                break;
            default:
                if (std::uint32_t* value = map.Find(key)) {
                    map.Erase(value);
                }
                expected.erase(key);
        }
        ASSERT_EQ(map.size(), expected.size());
        const std::uint32_t probe = random() % 600;
        const std::uint32_t* found = map.Find(probe);
        ASSERT_EQ(found != nullptr, expected.count(probe) == 1) << probe;
        if (found != nullptr) {
            ASSERT_EQ(*found, expected[probe]);
        }
    }
}

TEST(FlatMap, ReservedEraseIfAndRelease) {
    CFlatMap<std::uint32_t, int, std::hash<std::uint32_t>> map;
    map.Reserve(1000);
    for (std::uint32_t key = 0; key < 1000; ++key) {
        *map.Insert(key * 4).first = static_cast<int>(key);
    }
    map.EraseIf([](std::uint32_t key, int& value) {
        ++value;
        return key % 8 == 0;
    });
    EXPECT_EQ(map.size(), 500u);
    EXPECT_EQ(map.Find(8), nullptr);
    ASSERT_NE(map.Find(12), nullptr);
    EXPECT_EQ(*map.Find(12), 4);  // changed by the walk and kept
    map.Release();
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(map.Find(12), nullptr);
}

}  // namespace
}  // namespace vzrm
