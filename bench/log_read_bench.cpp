// Reading the Security log: every event read and the eleven values the reader
// asks for rendered, against libevtx's evtxexport on the same file in the same
// run, as a ratio; with our peak memory.
//
//   build/release/bench/bench_log_read [EVENTS]     (default 1000000)
//
// Files: a generated log of EVENTS events (10 % .zrm accesses) and, when the
// samples are beside the repository, a 64 MiB file of real chunks made with
// stitch_evtx.py. Both are kept in build/release/bench-data between runs.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "audit/security_log_reader.h"
#include "bench_support.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/posix_services.h"
#include "tools/loggen/evtx_writer.h"

namespace {

using namespace vzrm::platform;
using Clock = std::chrono::steady_clock;

void Generate(const std::string& path, std::size_t events) {
    vzrm::loggen::EvtxWriter writer(path);
    vzrm::loggen::ScenarioEvent e;
    std::uint64_t time = 134179491330000000ull;
    for (std::size_t i = 0; i < events; ++i) {
        e.record = i + 1;
        e.fileTime = time + i * 1000000;  // ten events a second
        const bool zrm = i % 10 == 0;
        e.id = zrm ? (i % 40 == 0    ? 4656
                      : i % 40 == 10 ? 4663
                      : i % 40 == 20 ? 4658
                                     : 4660)
                   : (i % 3 == 0 ? 4624 : 4663);
        e.object = zrm ? "D:\\Records\\case" + std::to_string(i % 5000) + ".zrm"
                       : "C:\\Windows\\Temp\\f" + std::to_string(i % 977) + ".tmp";
        e.handle = 0x40 + (i % 4096) * 4;
        e.mask = e.id == 4663 ? 2 : 0x120089;
        writer.Add(e);
    }
    writer.Finish();
}

struct Result {
    std::size_t events = 0;
    double seconds = 0;
};

Result ReadAll(const std::string& path) {
    posix::FileModernEventLog log;
    EVT_HANDLE query = 0;
    EVT_HANDLE context = 0;
    Result result;
    const auto start = Clock::now();
    if (log.Query(path, "*", EvtQueryFilePath, query) != 0 ||
        log.CreateRenderContext(vzrm::kRenderPaths, EvtRenderContextValues, context) != 0) {
        std::cerr << "cannot read " << path << "\n";
        return result;
    }
    std::vector<EVT_VARIANT> values(4096);
    EVT_HANDLE events[100];
    std::uint32_t returned = 0;
    std::uint64_t checksum = 0;
    while (log.Next(query, events, kEvtInfinite, returned) == kErrorSuccess) {
        for (std::uint32_t i = 0; i < returned; ++i) {
            std::uint32_t needed = 0;
            if (log.Render(context, events[i], EvtRenderEventValues, values, needed) == 0) {
                checksum += values[3].number + values[2].number;
                ++result.events;
            }
            log.Close(events[i]);
        }
    }
    log.Close(context);
    log.Close(query);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (checksum == 42) {
        std::cout << "";  // keeps the work from being optimised away
    }
    return result;
}

// Reads in a child process, so that its peak memory is the reading's alone.
Result ReadAllMeasured(const std::string& path, double& peakMiB) {
    int channel[2];
    if (pipe(channel) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        const Result result = ReadAll(path);
        const ssize_t written = write(channel[1], &result, sizeof result);
        _exit(written == sizeof result ? 0 : 1);
    }
    Result result;
    const ssize_t got = read(channel[0], &result, sizeof result);
    close(channel[0]);
    close(channel[1]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return got == sizeof result ? result : Result{};
}

void Report(const std::string& name, const std::string& path) {
    const auto size = std::filesystem::file_size(path);
    double peakMiB = 0;
    const Result ours = ReadAllMeasured(path, peakMiB);
    const double theirs = vzrm::bench::EvtxexportSeconds(path);
    std::printf("%-34s %8.1f MiB %9zu events  ours %7.3f s (%9.0f ev/s)", name.c_str(),
                static_cast<double>(size) / 1048576.0, ours.events, ours.seconds,
                static_cast<double>(ours.events) / ours.seconds);
    if (theirs > 0) {
        std::printf("  evtxexport %7.2f s (%7.0f ev/s)  ratio %5.1fx", theirs,
                    static_cast<double>(ours.events) / theirs, theirs / ours.seconds);
    }
    std::printf("  peak resident %.1f MiB\n", peakMiB);
}

}  // namespace

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    const std::size_t events = argc > 1 ? std::stoul(argv[1]) : 1000000;
    const std::filesystem::path data = std::filesystem::path(VZRM_BUILD_DIR) / "bench-data";
    std::filesystem::create_directories(data);
    const std::string generated =
        (data / ("generated-" + std::to_string(events) + ".evtx")).string();
    if (!std::filesystem::exists(generated)) {
        Generate(generated, events);
    }
    Report("generated (" + std::to_string(events) + " events)", generated);

    const std::string stitched = vzrm::bench::StitchedLog();
    if (!stitched.empty()) {
        Report("stitched real chunks (64 MiB)", stitched);
    }
    return 0;
}
