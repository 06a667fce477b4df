// Every input the fuzzers ever stopped on (tests/regress/<target>/) goes
// through the target's entry point again: it must finish without a sanitizer
// report and without taking more memory than any input of its size needs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <new>
#include <string>

#include "entry_points.h"
#include "support/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define VZRM_REPLAY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VZRM_REPLAY_ASAN 1
#endif
#endif

#ifdef VZRM_REPLAY_ASAN
// The sanitizer's allocator counters (GCC ships no header for them).
extern "C" {
std::size_t __sanitizer_get_current_allocated_bytes();
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                              void (*onFree)(const volatile void*));
}

// A single allocation beyond the bound fails at once, with a report that
// names it, instead of taking the machine's memory.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}
#endif

namespace vzrm {
namespace {

// No input of the folder (at most a few MiB) may need more heap than this.
constexpr std::size_t kHeapBound = std::size_t{256} << 20;

#ifdef VZRM_REPLAY_ASAN
std::atomic<bool> watching{false};
std::atomic<std::size_t> peak{0};

void OnMalloc(const volatile void*, std::size_t) {
    if (watching.load(std::memory_order_relaxed)) {
        const std::size_t now = __sanitizer_get_current_allocated_bytes();
        std::size_t seen = peak.load(std::memory_order_relaxed);
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
    }
}
void OnFree(const volatile void*) {}

// The most heap in use while `run` runs, above what was in use before.
template <typename Run>
std::size_t PeakHeapOf(Run&& run) {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    EXPECT_TRUE(installed);
    const std::size_t before = __sanitizer_get_current_allocated_bytes();
    peak = before;
    watching = true;
    run();
    watching = false;
    return peak - std::min(before, peak.load());
}
#else
// Without the sanitizer's counters: the address space is limited instead, so
// that an allocation beyond the bound fails.
template <typename Run>
std::size_t PeakHeapOf(Run&& run) {
    static const bool limited = [] {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        rlimit bounded = limit;
        bounded.rlim_cur = std::min<rlim_t>(limit.rlim_cur, rlim_t{4} << 30);
        return setrlimit(RLIMIT_AS, &bounded) == 0;
    }();
    EXPECT_TRUE(limited);
    run();
    return 0;
}
#endif

TEST(FuzzRegressions, EverySavedInputFinishesWithinTheHeapBound) {
    const std::filesystem::path folder = std::filesystem::path(VZRM_SOURCE_DIR) / "tests/regress";
    std::size_t replayed = 0;
    for (const auto& target : std::filesystem::directory_iterator(folder)) {
        if (!target.is_directory()) {
            continue;
        }
        const std::string name = target.path().filename().string();
        const fuzz::EntryPoint entry = fuzz::EntryPointOf(name);
        ASSERT_NE(entry, nullptr) << "tests/regress/" << name << " names no fuzz target";
        for (const auto& input : std::filesystem::directory_iterator(target.path())) {
            SCOPED_TRACE(input.path().string());
            const std::vector<std::uint8_t> bytes = test::ReadBytes(input.path().string());
            bool consistent = false;
            std::size_t heap = 0;
            try {
                heap = PeakHeapOf([&] { consistent = entry(bytes); });
            } catch (const std::bad_alloc&) {
                ADD_FAILURE() << "an allocation beyond the bound";
            }
            EXPECT_TRUE(consistent);
            EXPECT_LE(heap, kHeapBound);
            ++replayed;
        }
    }
    // The first of them: a message whose insert asks for a width of two billion.
    EXPECT_TRUE(std::filesystem::exists(folder / "fuzz_messages/oom-insert-width"));
    EXPECT_GE(replayed, 1u);
}

}  // namespace
}  // namespace vzrm
