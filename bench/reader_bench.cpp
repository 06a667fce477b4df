// The Security-log reader over a generated EVTX of 10^6 events (10 % .zrm
// accesses): time per event and peak memory, against evtxexport reading the
// same file. The project's message files are registered in a store made for
// the run, as an installation registers them.
//
//   build/release/bench/bench_reader [EVENTS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "audit/security_log_reader.h"
#include "platform/posix/sqlite_registry.h"
#include "platform/services.h"
#include "settings/reg_file.h"
#include "tools/loggen/evtx_writer.h"

namespace {

using namespace vzrm;
using Clock = std::chrono::steady_clock;

void Generate(const std::string& path, std::size_t events) {
    loggen::EvtxWriter writer(path);
    loggen::ScenarioEvent e;
    for (std::size_t i = 0; i < events; ++i) {
        e.record = i + 1;
        e.fileTime = 134179491330000000ull + i * 1000000;
        const bool zrm = i % 10 == 0;
        e.id = zrm ? (i % 40 == 0    ? 4656
                      : i % 40 == 10 ? 4663
                      : i % 40 == 20 ? 4658
                                     : 4660)
                   : (i % 3 == 0 ? 4624 : 4663);
        e.object = zrm ? "D:\\Records\\case" + std::to_string(i % 5000) + ".zrm"
                       : "C:\\Windows\\Temp\\f" + std::to_string(i % 977) + ".tmp";
        e.handle = 0x40 + (i / 40 % 4096) * 4;
        e.mask = e.id == 4663 ? 2 : 0x120089;
        writer.Add(e);
    }
    writer.Finish();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t events = argc > 1 ? std::stoul(argv[1]) : 1000000;
    const std::filesystem::path data = std::filesystem::path(VZRM_BUILD_DIR) / "bench-data";
    std::filesystem::create_directories(data);
    const std::string log = (data / ("reader-" + std::to_string(events) + ".evtx")).string();
    if (!std::filesystem::exists(log)) {
        Generate(log, events);
    }
    const std::filesystem::path store = data / "reader-store";
    std::filesystem::remove_all(store);
    std::filesystem::create_directories(store / "system32");
    for (const char* file : {"auditing.mc", "parameters.mc", "security.mc"}) {
        std::filesystem::copy_file(std::string(VZRM_SOURCE_DIR) + "/resources/messages/" + file,
                                   store / "system32" / file);
    }
    setenv("SystemRoot", store.c_str(), 1);
    setenv("VZRM_SECURITY_LOG", log.c_str(), 1);
    setenv("VZRM_LOCK_DIR", (store / "locks").c_str(), 1);

    int channel[2];
    if (pipe(channel) != 0) {
        return 1;
    }
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        platform::posix::SqliteRegistry registry(
            {(store / "HKLM.db").string(), (store / "HKCU.db").string()});
        platform::InstallServices({nullptr, nullptr, nullptr, &registry});
        const std::string reg =
            "Windows Registry Editor Version 5.00\r\n"
            "[HKEY_LOCAL_"
            "MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\{54849625-"
            "5478-4994-a5ba-3e3b0328c30d}]\r\n"
            "@=\"Microsoft-Windows-Security-Auditing\"\r\n"
            "\"MessageFileName\"=\"%SystemRoot%\\\\system32\\\\auditing.mc\"\r\n"
            "\"ParameterFileName\"=\"%SystemRoot%\\\\system32\\\\parameters.mc\"\r\n";
        std::vector<REG_FILE_CHANGE> changes;
        std::string error;
        if (!ParseRegFile({reg.begin(), reg.end()}, changes, error) ||
            ApplyRegFile(changes, error) != 0) {
            _exit(2);
        }
        const auto began = Clock::now();
        CSecurityLogReader reader;
        const int result = reader.OpenReader() ? reader.ReadPeriod({}, {}) : -1;
        const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
        const std::size_t records = reader.TakeRecords().size();
        const double out[3] = {seconds, static_cast<double>(records), static_cast<double>(result)};
        _exit(write(channel[1], out, sizeof out) == sizeof out ? 0 : 1);
    }
    double out[3] = {};
    const ssize_t got = read(channel[0], out, sizeof out);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    (void)start;
    if (got != sizeof out || out[2] != 1) {
        std::cerr << "the reader failed (" << out[2] << ")\n";
        return 1;
    }
    double theirs = 0;
    if (std::system("command -v evtxexport >/dev/null 2>&1") == 0) {
        const auto began = Clock::now();
        const int ignored = std::system(("evtxexport '" + log + "' >/dev/null 2>&1").c_str());
        (void)ignored;
        theirs = std::chrono::duration<double>(Clock::now() - began).count();
    }
    std::printf("reader: %zu events, %.0f records, %.3f s, %.0f ns/event, peak resident %.1f MiB",
                events, out[1], out[0], out[0] * 1e9 / static_cast<double>(events),
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (theirs > 0) {
        std::printf(", evtxexport %.2f s, ratio %.1fx", theirs, theirs / out[0]);
    }
    std::printf("\n");
    return 0;
}
