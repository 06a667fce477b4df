// The Security-log reader over a generated EVTX of 10^6 events (10 % .zrm
// accesses): time per event and peak memory, against evtxexport reading the
// same file. The project's message files are registered in a store made for
// the run, as an installation registers them. With MACHINES, the log is a
// collector's: the events of that many machines, whose handles repeat. With
// "classic", the same events in a classic log (evtxexport is not asked then).
//
//   build/release/bench/bench_reader [EVENTS [MACHINES [classic]]]
#include <chrono>
#include <cstdio>
#include <iostream>

#include "audit/security_log_reader.h"
#include "bench_support.h"
#include "platform/posix/posix_services.h"

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    using namespace vzrm;
    const std::size_t events = argc > 1 ? std::stoul(argv[1]) : 1000000;
    const std::size_t machines = argc > 2 ? std::stoul(argv[2]) : 1;
    const bool classic = argc > 3 && std::string(argv[3]) == "classic";
    const std::string log = bench::GeneratedLog(events, machines == 0 ? 1 : machines, classic);
    const std::filesystem::path store = bench::PrepareStoreFolder("reader-store");
    setenv("VZRM_SECURITY_LOG", log.c_str(), 1);

    bench::ChildFigures figures;
    const bool ran = bench::MeasureInChild(
        [&]() -> std::vector<double> {
            if (!bench::InstallStore(store)) {
                return {};
            }
            const auto began = std::chrono::steady_clock::now();
            CSecurityLogReader reader;
            const int result = reader.OpenReader() ? reader.ReadPeriod({}, {}) : -1;
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            return {seconds, static_cast<double>(reader.TakeRecords().size()),
                    static_cast<double>(result)};
        },
        3, figures);
    if (!ran || figures.values[2] != 1) {
        std::cerr << "the reader failed\n";
        return 1;
    }
    bench::PrintFigures(classic ? "classic reader" : "reader", "records", events, figures,
                        classic ? std::string() : log);
    return 0;
}
