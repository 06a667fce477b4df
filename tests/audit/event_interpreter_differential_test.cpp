// Runs the real interpretation and the plain reference over many generated
// event sequences and requires the same records. A failure names its seed;
// replay it with VZRM_DIFF_SEED=<seed>.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "audit/event_interpreter.h"
#include "event_generator.h"
#include "reference_interpreter.h"

namespace vzrm {
namespace {

// Stops after a set number of checks; -1 never stops.
std::function<bool()> StopAfter(int checks) {
    auto remaining = std::make_shared<int>(checks);
    return [remaining] { return *remaining >= 0 && (*remaining)-- == 0; };
}

void CompareOneSequence(std::uint64_t seed) {
    SCOPED_TRACE("seed " + std::to_string(seed) +
                 " (replay with VZRM_DIFF_SEED=" + std::to_string(seed) + ")");
    test::EventGenerator gen(seed);
    const std::vector<AUDIT_RECORD> events = gen.Sequence();
    const auto start = gen.Bound();
    const auto end = gen.Bound();
    const int stopAt = gen.Chance(0.1) ? gen.Pick(0, 50) : -1;

    test::ReferenceInterpreter reference;
    CEventInterpreter real;
    // Drops its removed records as soon as they outnumber the live ones.
    CEventInterpreter dropping(".zrm", 1);
    for (const AUDIT_RECORD& event : events) {
        reference.Add(event);
        real.AddRecord(event);
        dropping.AddRecord(event);
    }
    reference.ClearHandleMaps();
    reference.Pair(StopAfter(stopAt));
    reference.Filter(start, end);
    for (CEventInterpreter* interpreter : {&real, &dropping}) {
        SCOPED_TRACE(interpreter == &real ? "removed records kept" : "removed records dropped");
        interpreter->ClearHandleMaps();
        interpreter->PairRecords(StopAfter(stopAt));
        interpreter->FilterPeriod(start, end);

        const std::vector<AUDIT_RECORD> got = interpreter->TakeRecords();
        ASSERT_EQ(got.size(), reference.list.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], reference.list[i])
                << "record " << i << ": " << got[i].objectName << " action " << got[i].action
                << " vs " << reference.list[i].objectName << " action " << reference.list[i].action;
        }
    }
}

TEST(EventInterpreterDifferential, MatchesTheReferenceOnGeneratedSequences) {
    if (const char* replay = std::getenv("VZRM_DIFF_SEED")) {
        CompareOneSequence(std::strtoull(replay, nullptr, 10));
        return;
    }
    const std::uint64_t base = std::random_device{}();
    for (std::uint64_t i = 0; i < 1500 && !HasFatalFailure(); ++i) {
        CompareOneSequence(base + i);
    }
}

TEST(EventInterpreterDifferential, FixedSeedsStayCovered) {
    for (std::uint64_t seed = 1; seed <= 300 && !HasFatalFailure(); ++seed) {
        CompareOneSequence(seed);
    }
}

}  // namespace
}  // namespace vzrm
