#include "base/simple_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vzrm {
namespace {

class CountingCache
    : public CSimpleCache<3, std::string, int, std::hash<std::string>, std::equal_to<std::string>> {
  public:
    ~CountingCache() override { Clear(); }
    std::vector<int> released;

  protected:
    void ReleaseValue(int& value) override { released.push_back(value); }
};

TEST(SimpleCache, OldestLeavesFirstAndEveryValueIsReleasedOnce) {
    std::vector<int> released;
    {
        CountingCache cache;
        cache.Add("a", 1);
        cache.Add("b", 2);
        cache.Add("c", 3);
        EXPECT_EQ(cache.Lookup("a"), 1);
        cache.Add("d", 4);  // the fourth entry frees the first
        EXPECT_EQ(cache.Lookup("a"), std::nullopt);
        EXPECT_EQ(cache.released, std::vector<int>{1});
        // A key added again takes a second slot; its value is replaced (and released),
        // and it leaves when its first slot comes round.
        cache.Add("c", 30);
        EXPECT_EQ(cache.Lookup("c"), 30);
        EXPECT_EQ(cache.released,
                  (std::vector<int>{1, 2, 3}));  // b went for the slot, old c replaced
        cache.Add("e", 5);                       // slot of c's first add
        EXPECT_EQ(cache.Lookup("c"), std::nullopt);
        EXPECT_EQ(cache.Lookup("d"), 4);
        EXPECT_EQ(cache.Count(), 2u);  // d and e
    }
    struct Recording : CountingCache {
        explicit Recording(std::vector<int>& into) : into_(into) {}
        ~Recording() override {
            Clear();
            into_ = released;
        }
        std::vector<int>& into_;
    };
    {
        Recording cache(released);
        cache.Add("x", 7);
        cache.Add("y", 8);
    }
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (std::vector<int>{7, 8}));  // destruction releases what is held
}

}  // namespace
}  // namespace vzrm
