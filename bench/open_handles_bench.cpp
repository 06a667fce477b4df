// What a handle that is opened and never closed costs the interpretation:
// 10^5 and 10^6 such opens, each run in a child of its own, their peak
// resident memory and the heap in use once they are all read; the cost per
// open is the slope between the two sizes, so that what any run pays once
// drops out. Three logs: every open a .zrm file of its own (the rows of the
// report, the worst case), one .zrm file opened again and again, and other
// files (no rows).
//
//   build/release/bench/bench_open_handles [runs=N]
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audit/event_interpreter.h"
#include "bench/bench_support.h"

namespace vzrm {
namespace {

enum class Files { kOwnZrm, kOneZrm, kOther };

// "D:\Records\cam07\case0000042.zrm": 32 bytes, as a recorder names its files.
std::string ObjectName(Files files, std::size_t i) {
    char number[16];
    std::snprintf(number, sizeof number, "%07zu", files == Files::kOneZrm ? 0 : i);
    return std::string(files == Files::kOther ? "C:\\Windows\\Temp\\cam07\\tmp"
                                              : "D:\\Records\\cam07\\case") +
           number + (files == Files::kOther ? ".tmp" : ".zrm");
}

double HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// In the child: the opens, then the passes after reading; the heap in use
// after reading and the rows.
std::vector<double> OpenAndNeverClose(Files files, std::size_t opens) {
    CEventInterpreter interpreter;
    AUDIT_RECORD open;
    open.user = "operator";
    open.computer = "RECPC";
    open.processId = 900;
    open.processName = "C:\\Program Files\\Play\\player.exe";
    open.eventId = 4656;
    open.action = ACTION_OPEN;
    const std::int64_t start = 1'773'000'000;
    for (std::size_t i = 0; i < opens; ++i) {
        open.objectName = ObjectName(files, i);
        // Windows hands out handle values in steps of 4.
        open.handleId = static_cast<std::uint32_t>(0x40 + 4 * i);
        open.time = start + static_cast<std::int64_t>(i / 1000);
        open.recordNumber = i + 1;
        interpreter.AddRecord(open);
    }
    const double heap = HeapInUse();
    interpreter.ClearHandleMaps();
    interpreter.PairRecords();
    interpreter.FilterPeriod(start - 1, std::nullopt);
    std::size_t rows = 0;
    interpreter.VisitRecords([&](const AUDIT_RECORD&) { return ++rows, true; });
    return {heap, static_cast<double>(rows)};
}

struct Figures {
    double peak = 0;  // bytes
    double heap = 0;
    double rows = 0;
};

bool Measure(Files files, std::size_t opens, int runs, Figures& out) {
    std::vector<double> peaks;
    std::vector<double> heaps;
    for (int run = 0; run < runs; ++run) {
        bench::ChildFigures figures;
        if (!bench::MeasureInChild([&] { return OpenAndNeverClose(files, opens); }, 2, figures)) {
            return false;
        }
        peaks.push_back(figures.peakMiB * 1024 * 1024);
        heaps.push_back(figures.values[0]);
        out.rows = figures.values[1];
    }
    out.peak = bench::Median(peaks);
    out.heap = bench::Median(heaps);
    return true;
}

}  // namespace
}  // namespace vzrm

int main(int argc, char** argv) {
    using namespace vzrm;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "runs=", 5) == 0) {
            runs = std::max(1, std::atoi(argv[i] + 5));
        }
    }
    const struct {
        Files files;
        const char* what;
    } logs[] = {{Files::kOwnZrm, "a .zrm file each"},
                {Files::kOneZrm, "one .zrm file"},
                {Files::kOther, "other files"}};
    constexpr std::size_t kSmall = 100'000;
    constexpr std::size_t kLarge = 1'000'000;
    for (const auto& log : logs) {
        Figures small;
        Figures large;
        if (!Measure(log.files, kSmall, runs, small) || !Measure(log.files, kLarge, runs, large)) {
            std::fprintf(stderr, "bench_open_handles: a measuring child failed\n");
            return 1;
        }
        const double added = static_cast<double>(kLarge - kSmall);
        std::printf(
            "%s: peak resident %.1f / %.1f MiB, heap in use after reading %.1f / %.1f MiB, rows "
            "%.0f / %.0f; per open handle %.0f bytes at the peak, %.0f in the heap\n",
            log.what, small.peak / 1048576, large.peak / 1048576, small.heap / 1048576,
            large.heap / 1048576, small.rows, large.rows, (large.peak - small.peak) / added,
            (large.heap - small.heap) / added);
    }
    return 0;
}
