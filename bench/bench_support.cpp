#include "bench_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "formats/reg_file.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/sqlite_registry.h"
#include "platform/services.h"
#include "site_log.h"
#include "tools/loggen/evt_writer.h"
#include "tools/loggen/evtx_writer.h"

namespace vzrm::bench {
namespace {

// The classic ID of a modern one, for the same scenario in a classic log.
std::uint32_t ClassicId(std::uint32_t id) {
    switch (id) {
        case 4656:
            return 560;
        case 4663:
            return 567;
        case 4658:
            return 562;
        case 4660:
            return 564;
        default:
            return 528;
    }
}

// A dense log: nine events in ten are file accesses, most of them to .zrm
// files that are written or read and closed again, so that most become rows.
void DenseEvent(std::size_t i, loggen::ScenarioEvent& e) {
    static const std::uint32_t kIds[] = {4656, 4663, 4663, 4658, 4624,
                                         4663, 4656, 4663, 4658, 4663};
    const std::size_t step = i % 10;
    const std::size_t file = i / 10 % 50000;
    e.id = kIds[step];
    const bool other = step == 5 || step == 9;
    e.object = other      ? "C:\\Windows\\Temp\\f" + std::to_string(i % 977) + ".tmp"
               : step < 4 ? "D:\\Records\\case" + std::to_string(file) + ".zrm"
                          : "D:\\Records\\notes" + std::to_string(file) + ".zrm";
    e.handle = 0x40 + (i / 10 % 4096) * 8 + (step < 4 ? 0 : 4);
    e.mask = e.id == 4663 ? (step == 7 ? 1 : 2) : 0x120089;
}

template <typename Writer>
void Generate(Writer& writer, std::size_t events, std::size_t machines, bool classic,
              LogShape shape) {
    loggen::ScenarioEvent e;
    SiteScenario site;
    // A collector's log: the machines take turns by blocks of 40 events (one
    // file's life stays on its machine), each numbering its own records and
    // using the same handles as the others.
    std::vector<std::uint64_t> records(machines, 0);
    for (std::size_t i = 0; i < events; ++i) {
        const std::size_t machine = i / 40 % machines;
        e.computer = machines == 1 ? "RECPC" : "PC" + std::to_string(machine);
        e.record = ++records[machine];
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
        if (shape == LogShape::dense) {
            DenseEvent(i, e);
        } else if (shape == LogShape::site) {
            site.Next(e);
        }
        if (classic) {
            e.id = ClassicId(e.id);
            e.access = loggen::AccessCodes(e.mask, " ");
        }
        writer.Add(e);
    }
    writer.Finish();
}

std::filesystem::path DataFolder() {
    const std::filesystem::path data = std::filesystem::path(VZRM_BUILD_DIR) / "bench-data";
    std::filesystem::create_directories(data);
    return data;
}

// A process's peak resident memory and processor time, as wait4 gives them.
void Take(const rusage& usage, ChildFigures& figures) {
    figures.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

std::string GeneratedLog(std::size_t events, std::size_t machines, bool classic, LogShape shape) {
    const char* const kind = shape == LogShape::dense  ? "dense-"
                             : shape == LogShape::site ? "site-"
                                                       : "reader-";
    const std::string name = kind + std::to_string(events) +
                             (machines == 1 ? "" : "-" + std::to_string(machines) + "pc");
    const std::string log = (DataFolder() / (name + (classic ? ".evt" : ".evtx"))).string();
    if (!std::filesystem::exists(log)) {
        if (classic) {
            loggen::EvtWriter writer(log, 0);
            Generate(writer, events, machines, true, shape);
        } else {
            loggen::EvtxWriter writer(log);
            Generate(writer, events, machines, false, shape);
        }
    }
    return log;
}

std::filesystem::path PrepareStoreFolder(const std::string& name) {
    const std::filesystem::path store = DataFolder() / name;
    std::filesystem::remove_all(store);
    std::filesystem::create_directories(store / "system32");
    for (const char* file : {"auditing.mc", "parameters.mc", "security.mc"}) {
        std::filesystem::copy_file(std::string(VZRM_SOURCE_DIR) + "/resources/messages/" + file,
                                   store / "system32" / file);
    }
    setenv("SystemRoot", store.c_str(), 1);
    setenv("VZRM_LOCK_DIR", (store / "locks").c_str(), 1);
    return store;
}

bool InstallStore(const std::filesystem::path& folder) {
    // Lives as long as the child that installs it.
    static platform::posix::SqliteRegistry* registry = new platform::posix::SqliteRegistry(
        {(folder / "HKLM.db").string(), (folder / "HKCU.db").string()});
    platform::InstallServices({nullptr, nullptr, nullptr, registry});
    std::string reg =
        "Windows Registry Editor Version 5.00\r\n"
        "[HKEY_LOCAL_"
        "MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\{54849625-"
        "5478-4994-a5ba-3e3b0328c30d}]\r\n"
        "@=\"Microsoft-Windows-Security-Auditing\"\r\n"
        "\"MessageFileName\"=\"%SystemRoot%\\\\system32\\\\auditing.mc\"\r\n"
        "\"ParameterFileName\"=\"%SystemRoot%\\\\system32\\\\parameters.mc\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security\\Security]"
        "\r\n"
        "\"EventMessageFile\"=\"%SystemRoot%\\\\system32\\\\security.mc\"\r\n"
        "\"ParameterMessageFile\"=\"%SystemRoot%\\\\system32\\\\parameters.mc\"\r\n";
    // VZRM_BENCH_PUBLISHERS=N: N more publishers, as a store with the
    // publishers of a Windows machine (about a thousand) has; their keys come
    // before the Security auditing one's.
    const char* publishers = std::getenv("VZRM_BENCH_PUBLISHERS");
    const long more = publishers != nullptr ? std::atol(publishers) : 0;
    for (long i = 0; i < more; ++i) {
        char key[256];
        std::snprintf(key, sizeof key,
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\"
                      "Publishers\\{00000000-0000-0000-0000-%012ld}]\r\n@=\"Provider-%ld\"\r\n",
                      i, i);
        reg += key;
    }
    std::vector<formats::REG_FILE_CHANGE> changes;
    std::string error;
    return formats::ParseRegFile({reg.begin(), reg.end()}, changes, error) &&
           formats::ApplyRegFile(changes, error) == 0;
}

bool InstallProgram(const std::filesystem::path& folder, const std::string& program,
                    const std::filesystem::path& reports) {
    std::ifstream in(std::string(VZRM_SOURCE_DIR) + "/resources/install/installation.reg.in",
                     std::ios::binary);
    std::string reg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto fill = [&reg](const std::string& field, const std::string& value) {
        for (std::size_t at; (at = reg.find(field)) != std::string::npos;) {
            reg.replace(at, field.size(), value);
        }
    };
    fill("@INSTALL_DIR@", std::filesystem::path(program).parent_path().string());
    fill("@INSTALL_DATE@", "ea,07,0c,00,02,00,08,00,0a,00,00,00,00,00,00,00");
    fill("@COMMON_REG@", "00000001");
    fill("@COMMON_SET@", "00000000");
    fill("@SET_ACCESS@", "00000001");
    std::vector<formats::REG_FILE_CHANGE> changes;
    std::string error;
    if (reg.empty() || !formats::ParseRegFile({reg.begin(), reg.end()}, changes, error) ||
        formats::ApplyRegFile(changes, error) != 0) {
        std::cerr << "installation record: " << error << "\n";
        return false;
    }
    const std::filesystem::path global = folder / "locks" / "global";
    std::filesystem::create_directories(global);
    std::ofstream(global / "Quorvix_ZRMAU_MutexGlobal.lock").close();
    // A run on a log that cannot be opened fails, after writing the options
    // (the same reports folder) and before storing dates: the store of a
    // timer's earlier runs.
    const char* log = std::getenv("VZRM_SECURITY_LOG");
    const std::string kept = log != nullptr ? log : "";
    setenv("VZRM_SECURITY_LOG", (folder / "no-such.evtx").c_str(), 1);
    static_cast<void>(RunProgram(program, folder, reports));
    setenv("VZRM_SECURITY_LOG", kept.c_str(), 1);
    return std::filesystem::exists(folder / "HKCU.db");
}

double RunProgram(const std::string& program, const std::filesystem::path& folder,
                  const std::filesystem::path& reports, ChildFigures* figures) {
    setenv("VZRM_REGISTRY_DIR", folder.c_str(), 1);
    setenv("VZRM_APPLICATION_LOG", (folder / "application.log").c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const std::string folderArgument = reports.string();
    const auto began = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // As from a timer: no terminal to draw the progress on.
        const int nowhere = open("/dev/null", O_WRONLY);
        dup2(nowhere, STDOUT_FILENO);
        dup2(nowhere, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), "-c", "-rf", folderArgument.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return -1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (figures != nullptr) {
        Take(usage, *figures);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

std::string StitchedLog() {
    const char* given = std::getenv("VZRM_SAMPLES_DIR");
    const std::filesystem::path samples = given != nullptr ? given : VZRM_SAMPLES_DIR;
    const std::filesystem::path data = std::filesystem::path(VZRM_BUILD_DIR) / "bench-data";
    std::filesystem::create_directories(data);
    const std::string stitched = (data / "stitched-64MiB.evtx").string();
    if (!std::filesystem::exists(stitched) && std::filesystem::exists(samples / "stitch_evtx.py")) {
        const std::string command =
            "python3 '" + (samples / "stitch_evtx.py").string() + "' '" + stitched + "' 1024 '" +
            (samples / "large-security-win11-v3.2.evtx").string() + "' '" +
            (samples / "large-security-win2012r2-stale-header.evtx").string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::cerr << "stitch_evtx.py failed\n";
            std::filesystem::remove(stitched);
        }
    }
    return std::filesystem::exists(stitched) ? stitched : std::string();
}

std::size_t CountEvents(const std::string& log) {
    platform::posix::FileModernEventLog reader;
    platform::EVT_HANDLE query = 0;
    if (reader.Query(log, "*", platform::EvtQueryFilePath, query) != 0) {
        return 0;
    }
    std::size_t count = 0;
    platform::EVT_HANDLE events[100];
    std::uint32_t returned = 0;
    while (reader.Next(query, events, platform::kEvtInfinite, returned) == 0) {
        count += returned;
        for (std::uint32_t i = 0; i < returned; ++i) {
            static_cast<void>(reader.Close(events[i]));
        }
    }
    static_cast<void>(reader.Close(query));
    return count;
}

bool MeasureInChild(const std::function<std::vector<double>()>& work, std::size_t valueCount,
                    ChildFigures& figures) {
    int channel[2];
    if (pipe(channel) != 0) {
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        const std::vector<double> values = work();
        const auto bytes = static_cast<ssize_t>(values.size() * sizeof(double));
        _exit(values.size() == valueCount && write(channel[1], values.data(), bytes) == bytes ? 0
                                                                                              : 1);
    }
    close(channel[1]);
    figures.values.assign(valueCount, 0);
    const auto wanted = static_cast<ssize_t>(valueCount * sizeof(double));
    const ssize_t got = read(channel[0], figures.values.data(), wanted);
    close(channel[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Take(usage, figures);
    return got == wanted && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ReadIntoPageCache(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double EvtxexportSeconds(const std::string& log) {
    // Its time is the slow part of a run: left out while iterating on our own.
    if (log.empty() || std::getenv("VZRM_BENCH_NO_EVTXEXPORT") != nullptr ||
        std::system("command -v evtxexport >/dev/null 2>&1") != 0) {
        return 0;
    }
    ReadIntoPageCache(log);
    const auto began = std::chrono::steady_clock::now();
    const int ignored = std::system(("evtxexport '" + log + "' >/dev/null 2>&1").c_str());
    (void)ignored;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

void PrintFigures(const char* what, const char* items, std::size_t events,
                  const ChildFigures& figures, const std::string& log) {
    const double seconds = figures.values[0];
    const double theirs = EvtxexportSeconds(log);
    std::printf(
        "%s: %zu events, %.0f %s, %.3f s (processor %.3f s), %.0f ns/event, %.0f events/s, peak "
        "resident %.1f MiB",
        what, events, figures.values[1], items, seconds, figures.cpuSeconds,
        seconds * 1e9 / static_cast<double>(events),
        seconds > 0 ? static_cast<double>(events) / seconds : 0.0, figures.peakMiB);
    if (theirs > 0) {
        std::printf(", evtxexport %.2f s, ratio %.1fx", theirs, theirs / seconds);
    }
    std::printf("\n");
}

}  // namespace vzrm::bench
