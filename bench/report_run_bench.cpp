// A whole unattended report run through the headless host over a generated
// EVTX of 10^6 events (10 % .zrm accesses; "dense": 90 % file accesses, most
// becoming rows): time and peak memory, against evtxexport reading the same
// file. "classic": the same events in a classic log (no evtxexport then).
//
//   build/release/bench/bench_report_run [EVENTS [dense] [classic]]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "bench_support.h"
#include "platform/posix/posix_services.h"
#include "report/headless_host.h"
#include "report/report_run.h"
#include "settings/options_profiles.h"

namespace {

class CountingLog : public vzrm::platform::IApplicationEventLog {
  public:
    bool Write(const std::string&, std::uint16_t, std::uint32_t,
               const std::vector<std::string>& strings) override {
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
    const std::size_t events = argc > 1 ? std::stoul(argv[1]) : 1000000;
    bool dense = false;
    bool classic = false;
    for (int i = 2; i < argc; ++i) {
        dense = dense || std::string(argv[i]) == "dense";
        classic = classic || std::string(argv[i]) == "classic";
    }
    const std::string log = bench::GeneratedLog(events, 1, classic, dense);
    const std::filesystem::path store = bench::PrepareStoreFolder("report-run-store");
    const std::filesystem::path reports = store / "reports";
    std::filesystem::create_directories(reports);
    setenv("VZRM_SECURITY_LOG", log.c_str(), 1);

    bench::ChildFigures figures;
    const bool ran = bench::MeasureInChild(
        [&]() -> std::vector<double> {
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
            std::ifstream report(run.ReportPath());
            double lines = 0;
            for (std::string line; std::getline(report, line);) {
                ++lines;
            }
            return {seconds, lines - 6,
                    host.CloseRequested() && applicationLog.events == 0 ? 1.0 : 0.0};
        },
        3, figures);
    if (!ran || figures.values[2] != 1) {
        std::cerr << "the run did not complete\n";
        return 1;
    }
    bench::PrintFigures(classic ? "classic report run" : "report run", "rows", events, figures,
                        classic ? std::string() : log);
    return 0;
}
