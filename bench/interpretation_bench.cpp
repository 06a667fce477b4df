// The whole event interpretation (accept, pair, filter) over generated logs of
// a busy recording site, per event, at growing sizes. Linear cost shows as a
// flat time per event. A collector's log of 100 machines, their handles and
// files the same names on every machine, must cost no more per event than one
// machine's log of the same size.
//
//   cmake --preset release && cmake --build --preset release
//   build/release/bench/bench_interpretation
#include <benchmark/benchmark.h>

#include <algorithm>
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
std::vector<AUDIT_RECORD> GenerateSite(std::size_t count, int eventsPerSecond,
                                       const std::string& computer = "RECPC",
                                       std::uint64_t seed = 0) {
    std::mt19937_64 random(count + seed);
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
        r.computer = computer;
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

// The logs of `machines` sites as a collector receives them: merged in time
// order, the machines taking turns within a second.
std::vector<AUDIT_RECORD> GenerateCollector(int machines, std::size_t perMachine,
                                            int eventsPerSecond) {
    std::vector<std::vector<AUDIT_RECORD>> sites;
    for (int m = 0; m < machines; ++m) {
        sites.push_back(GenerateSite(perMachine, std::max(1, eventsPerSecond / machines),
                                     "PC" + std::to_string(m), static_cast<std::uint64_t>(m)));
    }
    std::vector<AUDIT_RECORD> merged;
    merged.reserve(perMachine * static_cast<std::size_t>(machines));
    std::vector<std::size_t> next(sites.size(), 0);
    while (merged.size() < merged.capacity()) {
        std::size_t from = sites.size();
        for (std::size_t m = 0; m < sites.size(); ++m) {
            if (next[m] < sites[m].size() &&
                (from == sites.size() || sites[m][next[m]].time < sites[from][next[from]].time)) {
                from = m;
            }
        }
        merged.push_back(sites[from][next[from]++]);
    }
    return merged;
}

// The same events as one machine would log them: each machine's handles and
// files made distinct, so that the work differs from the collector's only in
// the computers.
std::vector<AUDIT_RECORD> AsOneMachine(std::vector<AUDIT_RECORD> events) {
    for (AUDIT_RECORD& r : events) {
        const std::uint32_t machine = static_cast<std::uint32_t>(std::stoul(r.computer.substr(2)));
        r.handleId += machine << 16;
        if (!r.objectName.empty()) {
            r.objectName.insert(3, r.computer + "\\");
        }
        r.computer = "RECPC";
    }
    return events;
}

void Interpret(benchmark::State& state, const std::vector<AUDIT_RECORD>& events) {
    const std::size_t count = events.size();
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
    Interpret(state, GenerateSite(static_cast<std::size_t>(state.range(0)), 1000));
}
// Every event within a few seconds: the one-second windows hold everything.
void BM_InterpretBurst(benchmark::State& state) {
    Interpret(state, GenerateSite(static_cast<std::size_t>(state.range(0)), 1'000'000));
}
// 100 machines of state.range(0) events each, a thousand events a second in all.
void BM_InterpretCollector(benchmark::State& state) {
    Interpret(state, GenerateCollector(100, static_cast<std::size_t>(state.range(0)), 1000));
}
void BM_InterpretCollectorAsOneMachine(benchmark::State& state) {
    Interpret(state,
              AsOneMachine(GenerateCollector(100, static_cast<std::size_t>(state.range(0)), 1000)));
}
void BM_InterpretCollectorBurst(benchmark::State& state) {
    Interpret(state, GenerateCollector(100, static_cast<std::size_t>(state.range(0)), 1'000'000));
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
// Against the one-machine logs of the same sizes above: 10^4 and 10^6 events.
BENCHMARK(BM_InterpretCollector)->Arg(100)->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterpretCollectorAsOneMachine)->Arg(100)->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterpretCollectorBurst)->Arg(100)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vzrm

BENCHMARK_MAIN();
