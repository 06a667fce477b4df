// The whole event interpretation (accept, pair, filter) over generated logs of
// a busy recording site, per event, at growing sizes. Linear cost shows as a
// flat time per event.
//
//   cmake --preset release && cmake --build --preset release
//   build/release/bench/bench_interpretation
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "audit/event_interpreter.h"

namespace vzrm {
namespace {

// A site where about one event in five concerns a .zrm file: recorders create,
// write and close files (some short-lived and deleted right away), players open
// and read them, the rest of the log is noise on other files. Handles are
// reused from a pool, as Windows reuses them.
std::vector<AUDIT_RECORD> GenerateSite(std::size_t count, int eventsPerSecond) {
    std::mt19937_64 random(count);
    std::vector<AUDIT_RECORD> events;
    events.reserve(count + 16);
    std::int64_t time = 1'773'000'000;
    std::uint32_t nextHandle = 0x40;
    std::uint64_t number = 0;
    auto push = [&](AUDIT_ACTION action, std::uint32_t handle, const std::string& object,
                    std::uint32_t pid, const std::string& process) {
        if (++number % static_cast<std::uint64_t>(eventsPerSecond) == 0) {
            ++time;
        }
        AUDIT_RECORD r;
        r.user = "operator";
        r.computer = "RECPC";
        r.objectName = object;
        r.handleId = handle;
        r.processId = pid;
        r.processName = process;
        r.time = time;
        r.eventId = 4663;
        r.recordNumber = number;
        r.action = action;
        events.push_back(std::move(r));
    };
    auto handle = [&] {
        nextHandle = nextHandle >= 0x40 + 4 * 4096 ? 0x40 : nextHandle + 4;
        return nextHandle;
    };
    const std::string recorder = "C:\\Program Files\\Rec\\pramvoxe.exe";
    const std::string cleaner = "C:\\Program Files\\Rec\\soskavir.exe";
    const std::string player = "C:\\Program Files\\Play\\player.exe";
    const std::string system = "C:\\Windows\\System32\\svchost.exe";
    std::uniform_int_distribution<int> pick(0, 99);
    std::uint64_t file = 0;
    while (events.size() < count) {
        const int kind = pick(random);
        const std::uint32_t h = handle();
        if (kind < 80) {
            // Noise: an access to some other file, open and close.
            const std::string object =
                "C:\\Windows\\Temp\\f" + std::to_string(file++ % 5000) + ".tmp";
            push(ACTION_OPEN, h, object, 4, system);
            push(ACTION_READ_DATA, h, object, 4, system);
            push(ACTION_CLOSE, h, "", 4, system);
            continue;
        }
        const std::string object = "D:\\Records\\case" + std::to_string(file++ % 20000) + ".zrm";
        if (kind < 88) {
            // Opened and closed without access: both removed.
            push(ACTION_OPEN, h, object, 900, player);
            push(ACTION_READ_ATTRIBUTES, h, object, 900, player);
            push(ACTION_CLOSE, h, "", 900, player);
        } else if (kind < 94) {
            // A recording: create, many writes, close.
            push(ACTION_OPEN, h, object, 700, recorder);
            for (int i = 0; i < 6; ++i) {
                push(ACTION_WRITE, h, object, 700, recorder);
            }
            push(ACTION_CLOSE, h, "", 700, recorder);
        } else if (kind < 97) {
            // A short-lived file of the recorder.
            push(ACTION_OPEN, h, object, 700, recorder);
            push(ACTION_WRITE, h, object, 700, recorder);
            push(ACTION_CLOSE, h, "", 700, recorder);
            push(ACTION_DELETE, handle(), object, 710, cleaner);
        } else {
            // Played back: read, closed and reopened at once.
            push(ACTION_OPEN, h, object, 900, player);
            push(ACTION_READ_DATA, h, object, 900, player);
            push(ACTION_CLOSE, h, "", 900, player);
            const std::uint32_t again = handle();
            push(ACTION_OPEN, again, object, 900, player);
            push(ACTION_READ_DATA, again, object, 900, player);
            push(ACTION_CLOSE, again, "", 900, player);
        }
    }
    events.resize(count);
    return events;
}

void Interpret(benchmark::State& state, int eventsPerSecond) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<AUDIT_RECORD> events = GenerateSite(count, eventsPerSecond);
    std::size_t kept = 0;
    for (auto _ : state) {
        CEventInterpreter interpreter;
        for (const AUDIT_RECORD& event : events) {
            interpreter.AddRecord(event);
        }
        interpreter.ClearHandleMaps();
        interpreter.PairRecords([] { return false; });
        interpreter.FilterPeriod(events.front().time - 1, events.back().time);
        kept = interpreter.RecordCount();
        benchmark::DoNotOptimize(kept);
    }
    state.counters["rows"] = static_cast<double>(kept);
    // Seconds per event, printed with an SI prefix ("250n" is 250 ns).
    state.counters["per_event"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A thousand events a second, as a busy site logs them.
void BM_InterpretBusySite(benchmark::State& state) {
    Interpret(state, 1000);
}
// Every event within a few seconds: the one-second windows hold everything.
void BM_InterpretBurst(benchmark::State& state) {
    Interpret(state, 1'000'000);
}

BENCHMARK(BM_InterpretBusySite)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterpretBurst)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vzrm

BENCHMARK_MAIN();
