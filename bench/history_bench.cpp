// `vzrmlog history` over a folder of 1,000 reports of 1,000 rows each (about
// 100 MiB; each report repeats the last 50 rows of the one before, as a run
// does that covers a period again): the history of one recording, run as the
// built program, its elapsed and processor time and its peak memory. The
// reports are made once and kept in the build folder. "all": every
// recording's life instead (`--summary` without a filter), which keeps every
// row.
//
//   build/release/bench/bench_history [all] [runs=N]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "audit/audit_record.h"
#include "base/resource_text.h"
#include "platform/posix/posix_services.h"
#include "report/report_row.h"

namespace {

namespace fs = std::filesystem;

constexpr int kReports = 1000;
constexpr int kRows = 1000;
constexpr int kRepeated = 50;
constexpr int kRecordings = 5000;
constexpr char kWanted[] = "case42.zrm";

// Writes the reports unless an earlier run did; the rows about kWanted.
std::size_t MakeReports(const fs::path& folder) {
    const fs::path done = folder / "made";
    std::size_t wanted = 0;
    if (fs::exists(done)) {
        std::ifstream(done) >> wanted;
        return wanted;
    }
    fs::create_directories(folder);
    static const char* const kUsers[] = {"operator", "RECSITE\\alice", "bob", "RECSITE\\carol"};
    static const vzrm::AUDIT_ACTION kActions[] = {vzrm::ACTION_CREATE, vzrm::ACTION_OPEN,
                                                  vzrm::ACTION_WRITE, vzrm::ACTION_CLOSE,
                                                  vzrm::ACTION_DELETE};
    std::mt19937 random(44);
    std::vector<vzrm::AUDIT_RECORD> previous;
    std::int64_t time = 1773446400;
    for (int n = 0; n < kReports; ++n) {
        std::vector<vzrm::AUDIT_RECORD> rows(
            previous.end() - std::min<std::ptrdiff_t>(kRepeated, previous.size()), previous.end());
        while (rows.size() < kRows) {
            vzrm::AUDIT_RECORD r;
            time += random() % 90;
            r.time = time;
            r.computer = "RECPC";
            r.user = kUsers[random() % 4];
            r.objectName = "D:\\Records\\case" + std::to_string(random() % kRecordings) + ".zrm";
            r.processName = "C:\\Program Files\\Rec\\pramvoxe.exe";
            r.action = kActions[random() % 5];
            wanted += vzrm::SplitReportPath(r.objectName).name == kWanted ? 1 : 0;
            rows.push_back(r);
        }
        char name[64];
        std::snprintf(name, sizeof name, "ZRMAudit_%08d_020000.csv", 20260000 + n);
        std::ofstream out(folder / name, std::ios::binary);
        out << vzrm::FormatResource(58401, "14.03.2026 02:00:00") << "\r\n"
            << vzrm::ReportHeaderLine(";") << "\r\n";
        vzrm::CReportRowWriter writer(";");
        for (const vzrm::AUDIT_RECORD& r : rows) {
            out << writer.Line(r);
        }
        out << "\r\n" << vzrm::FormatResource(58403, "14.03.2026 02:00:01");
        previous = std::move(rows);
    }
    std::ofstream(done) << wanted;
    return wanted;
}

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

Figures RunHistory(const fs::path& folder, bool all) {
    Figures figures;
    const auto began = std::chrono::steady_clock::now();
    std::fflush(stdout);  // or the child's copy of the buffer is written twice
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        if (all) {
            execl(VZRMLOG_PATH, VZRMLOG_PATH, "history", folder.c_str(), "--summary",
                  static_cast<char*>(nullptr));
        } else {
            execl(VZRMLOG_PATH, VZRMLOG_PATH, "history", folder.c_str(), "--file", kWanted,
                  static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    figures.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    figures.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    int runs = 5;
    bool all = false;
    for (int n = 1; n < argc; ++n) {
        if (std::strncmp(argv[n], "runs=", 5) == 0) {
            runs = std::max(1, std::atoi(argv[n] + 5));
        }
        all = all || std::strcmp(argv[n], "all") == 0;
    }
    const fs::path folder = fs::path(VZRM_BUILD_DIR) / "bench-history";
    const std::size_t wanted = MakeReports(folder);
    std::uintmax_t bytes = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        bytes += entry.is_regular_file() ? entry.file_size() : 0;
    }
    RunHistory(folder, all);  // the first run brings the files into the page cache
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const Figures f = RunHistory(folder, all);
        if (!f.ok) {
            std::fprintf(stderr, "vzrmlog history failed\n");
            return 1;
        }
        seconds.push_back(f.seconds);
        std::printf(
            "%s over %d reports of %d rows (%.0f MiB; %zu rows about %s): "
            "%.3f s, %.3f s processor, peak %.1f MiB\n",
            all ? "every recording's life" : "history of one recording", kReports, kRows,
            static_cast<double>(bytes) / 1048576.0, wanted, kWanted, f.seconds, f.cpuSeconds,
            f.peakMiB);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("median %.3f s\n", seconds[seconds.size() / 2]);
    return 0;
}
