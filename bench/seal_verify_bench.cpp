// `vzrmlog verify` over a sealed folder of 1,000 reports of 1,000 rows each
// (about 100 MiB), as runs leave it: a summary block and a seal line per run,
// signed with a key made for the benchmark. Run as the built program; its
// elapsed and processor time and its peak memory, and the same over the
// first 100 reports, so that the memory is seen not to grow with the folder.
// The folders are made once and kept in the build folder.
//
//   build/release/bench/bench_seal_verify [runs=N]
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
#include "platform/posix/seal_key_files.h"
#include "platform/seal.h"
#include "report/report_row.h"
#include "report/report_seal.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 1000;
constexpr int kRecordings = 5000;

// Writes the sealed folder of `reports` reports unless an earlier run did.
bool MakeFolder(const fs::path& folder, int reports) {
    if (fs::exists(folder / "made")) {
        return true;
    }
    fs::remove_all(folder);
    fs::create_directories(folder / "keys");
    vzrm::platform::posix::FileSealKeys keys(
        {(folder / "keys").string(), (folder / "keys").string()});
    vzrm::platform::SealSigningKey key;
    std::string refusal;
    if (keys.SigningKey(key, true, refusal) != 0) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return false;
    }
    static const char* const kUsers[] = {"operator", "RECSITE\\alice", "bob", "RECSITE\\carol"};
    static const vzrm::AUDIT_ACTION kActions[] = {vzrm::ACTION_CREATE, vzrm::ACTION_OPEN,
                                                  vzrm::ACTION_WRITE, vzrm::ACTION_CLOSE,
                                                  vzrm::ACTION_DELETE};
    std::mt19937 random(43);
    std::int64_t time = 1773446400;
    std::ofstream summary(folder / "_ZRMAudit_summary.txt", std::ios::binary);
    std::ofstream seal(folder / "_ZRMAudit_seal.txt", std::ios::binary);
    std::string previous = vzrm::kNoPreviousLine;
    for (int n = 0; n < reports; ++n) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%08d_023000", 20260000 + n);
        const std::string name = vzrm::FormatResource(58395, stamp);
        std::string report = vzrm::FormatResource(58401, "14.03.2026 02:30:00") + "\r\n" +
                             vzrm::ReportHeaderLine(";") + "\r\n";
        vzrm::CReportRowWriter writer(";");
        for (int row = 0; row < kRows; ++row) {
            vzrm::AUDIT_RECORD r;
            time += random() % 90;
            r.time = time;
            r.computer = "RECPC";
            r.user = kUsers[random() % 4];
            r.objectName = "D:\\Records\\case" + std::to_string(random() % kRecordings) + ".zrm";
            r.processName = "C:\\Program Files\\Rec\\pramvoxe.exe";
            r.action = kActions[random() % 5];
            report += writer.Line(r);
        }
        report += "\r\n" + vzrm::FormatResource(58403, "14.03.2026 02:30:01");
        std::ofstream(folder / name, std::ios::binary) << report;
        const std::string block =
            vzrm::FormatResource(58401, "14.03.2026 02:30:00") +
            vzrm::FormatResource(58405, "", "13.03.2026 02:30:00", kRows,
                                 vzrm::FormatResource(58409, (folder / name).string()),
                                 vzrm::FormatResource(58403, "14.03.2026 02:30:01"));
        summary << block;
        vzrm::SEAL_LINE line;
        line.runStart = std::string(stamp).substr(0, 4) + "-" + std::string(stamp).substr(4, 2) +
                        "-" + std::string(stamp).substr(6, 2) + "T02:30:00";
        line.report = name;
        line.reportDigest = vzrm::platform::Sha256Hex(report);
        line.blockDigest = vzrm::platform::Sha256Hex(block);
        line.previous = previous;
        const std::string text = vzrm::SealLineText(line, key);
        previous = vzrm::platform::Sha256Hex(text);
        seal << text << "\n";
    }
    summary.close();
    seal.close();
    std::ofstream(folder / "made") << reports;
    return summary && seal;
}

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

Figures Verify(const fs::path& folder) {
    Figures figures;
    const auto began = std::chrono::steady_clock::now();
    std::fflush(stdout);  // or the child's copy of the buffer is written twice
    const std::string key = (folder / "keys" / "seal.pub").string();
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        execl(VZRMLOG_PATH, VZRMLOG_PATH, "verify", folder.c_str(), "--key", key.c_str(),
              static_cast<char*>(nullptr));
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

double MiBOf(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        bytes += entry.is_regular_file() ? entry.file_size() : 0;
    }
    return static_cast<double>(bytes) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    int runs = 5;
    for (int n = 1; n < argc; ++n) {
        if (std::strncmp(argv[n], "runs=", 5) == 0) {
            runs = std::max(1, std::atoi(argv[n] + 5));
        }
    }
    for (const int reports : {100, 1000}) {
        const fs::path folder =
            fs::path(VZRM_BUILD_DIR) / ("bench-seal-" + std::to_string(reports));
        if (!MakeFolder(folder, reports)) {
            std::fprintf(stderr, "the sealed folder could not be made\n");
            return 1;
        }
        Verify(folder);  // the first run brings the files into the page cache
        std::vector<double> seconds;
        for (int run = 0; run < runs; ++run) {
            const Figures f = Verify(folder);
            if (!f.ok) {
                std::fprintf(stderr, "vzrmlog verify failed\n");
                return 1;
            }
            seconds.push_back(f.seconds);
            std::printf(
                "verify %d sealed reports of %d rows (%.0f MiB): %.3f s, %.3f s processor, "
                "peak %.1f MiB\n",
                reports, kRows, MiBOf(folder), f.seconds, f.cpuSeconds, f.peakMiB);
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("median %.3f s\n", seconds[seconds.size() / 2]);
    }
    return 0;
}
