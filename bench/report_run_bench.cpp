// A whole unattended report run through the headless host over a generated
// EVTX of 10^6 events (10 % .zrm accesses; "dense": 90 % file accesses, most
// becoming rows; "site": a recording site's log, see site_log.h): time and peak memory, against
// evtxexport reading the same file. "classic": the same events in a classic log (no evtxexport
// then); "stitched": the 64 MiB log of real chunks stitched from the samples beside the repository
// instead of a generated one (EVENTS is then ignored). "runs=N": N runs one after the other, each
// printed, then the median one (by elapsed time) against evtxexport: single short runs stray on a
// busy machine. "process": each run is the built vzrmaud as a timer starts it
// (`vzrmaud -c -rf DIR` without a display, on a store an earlier run left),
// timed from its start to its exit status; without it the run is made in
// the measuring process, which leaves out the program's start-up and end.
// Each process run is followed by one on an empty log of the same kind: what
// a run costs without events (start, store, locks, summary, dates). The last
// line gives its median and the cost per event above it, the figure that
// shows whether the cost grows linearly with the log.
// "pairs=N": the ratio to evtxexport from N of its runs, each between two of
// ours, instead of one run after ours: a machine whose speed swings over a
// minute gives a ratio only for runs made side by side. Prints each pair's
// ratio (evtxexport's time against the mean of the runs either side) and
// their median.
// "sizes": whether the cost per event stays flat from 10^4 to 10^6 events.
// Each of `runs` rounds makes one process run at each size, each beside one
// on an empty log, so that a machine whose speed swings meets every size
// alike; then per size the medians: the whole run, the cost per event above
// the empty run, and the cost per event added from the size before.
// VZRM_BENCH_PROGRAM=PATH runs another build's vzrmaud instead of this one's;
// VZRM_BENCH_PUBLISHERS=N registers N more publishers in each run's store.
//
//   build/release/bench/bench_report_run [EVENTS [dense|site] [classic] [stitched] [process]
//                                         [runs=N] [pairs=N]]
//   build/release/bench/bench_report_run sizes [dense|site] [classic] [runs=N]
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "bench_support.h"
#include "platform/posix/posix_services.h"
#include "report/headless_host.h"
#include "report/report_run.h"
#include "settings/options_profiles.h"

namespace {

// Counts what a run reports beyond its informational end record, which
// every completed run writes.
class CountingLog : public vzrm::platform::IApplicationEventLog {
  public:
    bool Write(const std::string&, std::uint16_t type, std::uint32_t,
               const std::vector<std::string>& strings) override {
        if (type == vzrm::platform::EVENTLOG_INFORMATION_TYPE) {
            return true;
        }
        for (const std::string& text : strings) {
            std::cerr << text << "\n";
        }
        ++events;
        return true;
    }
    int events = 0;
};

}  // namespace

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    using namespace vzrm;
    const bool counted = argc > 1 && std::isdigit(static_cast<unsigned char>(argv[1][0]));
    const std::size_t events = counted ? std::stoul(argv[1]) : 1000000;
    bool dense = false;
    bool site = false;
    bool classic = false;
    bool stitched = false;
    bool process = false;
    bool sizes = false;
    std::size_t runs = 1;
    std::size_t pairs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        dense = dense || arg == "dense";
        site = site || arg == "site";
        classic = classic || arg == "classic";
        stitched = stitched || arg == "stitched";
        process = process || arg == "process";
        sizes = sizes || arg == "sizes";
        if (arg.starts_with("runs=")) {
            runs = static_cast<std::size_t>(
                std::max(1, std::atoi(arg.c_str() + 5)));  // 1 if no number
        }
        if (arg.starts_with("pairs=")) {
            pairs = static_cast<std::size_t>(std::max(0, std::atoi(arg.c_str() + 6)));
        }
    }
    process = process || sizes;
    const bench::LogShape shape = site    ? bench::LogShape::site
                                  : dense ? bench::LogShape::dense
                                          : bench::LogShape::sparse;
    const std::string log =
        stitched ? bench::StitchedLog() : bench::GeneratedLog(events, 1, classic, shape);
    if (log.empty()) {
        std::cerr << "no stitched log: the samples are not beside the repository\n";
        return 1;
    }
    const std::size_t logEvents = stitched ? bench::CountEvents(log) : events;
    const std::string emptyLog = bench::GeneratedLog(0, 1, classic, shape);
    const std::filesystem::path store = bench::PrepareStoreFolder("report-run-store");
    const std::filesystem::path reports = store / "reports";

    const auto rowsOf = [](const std::filesystem::path& report) {
        std::ifstream lines(report);
        double count = 0;
        for (std::string line; std::getline(lines, line);) {
            ++count;
        }
        // A run without rows deletes its report.
        return lines.is_open() ? count - 6 : 0;
    };
    // Another build's vzrmaud for a comparison: VZRM_BENCH_PROGRAM=PATH.
    const char* given = std::getenv("VZRM_BENCH_PROGRAM");
    const std::string program = given != nullptr && *given != '\0' ? given : VZRMAUD_PATH;
    const auto runProgram = [&]() -> std::vector<double> {
        if (!bench::InstallStore(store) || !bench::InstallProgram(store, program, reports)) {
            return {};
        }
        bench::ChildFigures figures;
        const double seconds = bench::RunProgram(program, store, reports, &figures);
        std::filesystem::path report;
        for (const auto& entry : std::filesystem::directory_iterator(reports)) {
            if (entry.path().extension() == ".csv") {
                report = entry.path();
            }
        }
        return {seconds, rowsOf(report), seconds >= 0 ? 1.0 : 0.0, figures.cpuSeconds,
                figures.peakMiB};
    };
    const auto work = [&]() -> std::vector<double> {
        if (process) {
            return runProgram();
        }
        if (!bench::InstallStore(store)) {
            return {};
        }
        const auto began = std::chrono::steady_clock::now();
        CMainOpt options;
        options.ReadRegOpt("Software\\Quorvix\\VelmoraZRMAuditor", platform::HKEY_CURRENT_USER);
        CountingLog applicationLog;
        platform::Services services = platform::CurrentServices();
        services.applicationLog = &applicationLog;
        platform::InstallServices(services);
        CEventLogWriter writer;
        writer.Open("bench");
        CHeadlessRunHost host(writer, reports.string() + "/", "bench");
        CReportRun run(options, host);
        run.LoadStoredDates();
        host.RunUntilDone(run);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        return {seconds, rowsOf(run.ReportPath()),
                host.CloseRequested() && applicationLog.events == 0 ? 1.0 : 0.0};
    };
    const char* what = process ? (classic ? "classic vzrmaud process" : "vzrmaud process")
                               : (classic ? "classic report run" : "report run");
    // Each run on a store of its own: the last run's stored dates would leave no period.
    const auto measure = [&](const std::string& runLog, bench::ChildFigures& figures) {
        setenv("VZRM_SECURITY_LOG", runLog.c_str(), 1);
        bench::PrepareStoreFolder("report-run-store");
        bench::ReadIntoPageCache(runLog);
        std::filesystem::create_directories(reports);
        if (!bench::MeasureInChild(work, process ? 5 : 3, figures) || figures.values[2] != 1) {
            return false;
        }
        if (process) {
            // The program's own figures, not those of the child that set its store up.
            figures.cpuSeconds = figures.values[3];
            figures.peakMiB = figures.values[4];
        }
        return true;
    };
    if (sizes) {
        constexpr std::size_t kSizes[] = {10000, 100000, 1000000};
        constexpr std::size_t kCount = std::size(kSizes);
        std::vector<std::string> logs;
        for (const std::size_t size : kSizes) {
            logs.push_back(bench::GeneratedLog(size, 1, classic, shape));
        }
        // Per size: the whole runs and the runs on the empty log beside them.
        std::vector<std::vector<double>> whole(kCount);
        std::vector<std::vector<double>> above(kCount);
        std::vector<double> rows(kCount);
        for (std::size_t round = 0; round < runs; ++round) {
            for (std::size_t i = 0; i < kCount; ++i) {
                bench::ChildFigures figures;
                bench::ChildFigures empty;
                // Every generated log gives rows: a run without them read nothing.
                if (!measure(logs[i], figures) || figures.values[1] <= 0 ||
                    !measure(emptyLog, empty)) {
                    std::cerr << "the run did not complete\n";
                    return 1;
                }
                rows[i] = figures.values[1];
                whole[i].push_back(figures.values[0]);
                above[i].push_back(figures.values[0] - empty.values[0]);
            }
            std::printf("round %zu:", round + 1);
            for (std::size_t i = 0; i < kCount; ++i) {
                std::printf(" %zu events %.1f ms (%.0f ns/event above the empty run);", kSizes[i],
                            whole[i].back() * 1e3,
                            above[i].back() * 1e9 / static_cast<double>(kSizes[i]));
            }
            std::printf("\n");
        }
        std::printf("medians of %zu rounds%s:\n", runs, site ? ", site" : dense ? ", dense" : "");
        std::vector<double> perEvent;
        for (std::size_t i = 0; i < kCount; ++i) {
            perEvent.push_back(bench::Median(above[i]) * 1e9 / static_cast<double>(kSizes[i]));
            std::printf(
                "%8zu events, %.0f rows: whole run %.1f ms, %.0f ns/event above the empty run",
                kSizes[i], rows[i], bench::Median(whole[i]) * 1e3, perEvent.back());
            if (i > 0) {
                const double added = (bench::Median(whole[i]) - bench::Median(whole[i - 1])) * 1e9 /
                                     static_cast<double>(kSizes[i] - kSizes[i - 1]);
                std::printf(", %.0f ns for each event from %zu", added, kSizes[i - 1]);
            }
            std::printf("\n");
        }
        const auto [low, high] = std::minmax_element(perEvent.begin(), perEvent.end());
        std::printf("largest / smallest cost per event above the empty run: %.2fx\n", *high / *low);
        return 0;
    }
    std::vector<bench::ChildFigures> all(runs);
    std::vector<double> emptySeconds;
    for (bench::ChildFigures& figures : all) {
        bench::ChildFigures empty;
        if (!measure(log, figures) || (process && !measure(emptyLog, empty))) {
            std::cerr << "the run did not complete\n";
            return 1;
        }
        emptySeconds.push_back(empty.values.empty() ? 0 : empty.values[0]);
        if (runs > 1) {
            bench::PrintFigures(what, "rows", logEvents, figures, {});
        }
    }
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a.values[0] < b.values[0]; });
    if (runs > 1) {
        std::printf("median of %zu runs:\n", runs);
    }
    const std::string compared = classic || pairs > 0 ? std::string() : log;
    bench::PrintFigures(what, "rows", logEvents, all[runs / 2], compared);
    if (pairs > 0 && !classic) {
        std::vector<double> ratios;
        bench::ChildFigures before;
        if (!measure(log, before)) {
            std::cerr << "the run did not complete\n";
            return 1;
        }
        for (std::size_t i = 0; i < pairs; ++i) {
            const double theirs = bench::EvtxexportSeconds(log);
            bench::ChildFigures after;
            if (theirs <= 0 || !measure(log, after)) {
                break;
            }
            const double ours = (before.values[0] + after.values[0]) / 2;
            ratios.push_back(theirs / ours);
            std::printf("evtxexport %.2f s between runs of %.3f and %.3f s: ratio %.1fx\n", theirs,
                        before.values[0], after.values[0], ratios.back());
            before = after;
        }
        if (!ratios.empty()) {
            const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
            std::printf("median ratio of %zu pairs: %.1fx (%.1f-%.1fx)\n", ratios.size(),
                        bench::Median(ratios), *low, *high);
        }
    }
    if (process) {
        std::sort(emptySeconds.begin(), emptySeconds.end());
        const double fixed = emptySeconds[runs / 2];
        std::printf("a run on an empty log: %.1f ms; above it: %.0f ns/event\n", fixed * 1e3,
                    (all[runs / 2].values[0] - fixed) * 1e9 / static_cast<double>(logEvents));
    }
    return 0;
}
