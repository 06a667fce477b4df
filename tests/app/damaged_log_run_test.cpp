// Unattended runs over damaged log files and over a log file that shrinks
// while the run reads it: the built vzrmaud as a process, a helper cutting
// the file from outside.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "app/vzrmaud_fixture.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

extern char** environ;

namespace vzrm {
namespace {

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Open, access and close of `count` recordings, one second apart.
std::string ZrmScenario(int count) {
    std::string scenario;
    for (int i = 0; i < count; ++i) {
        char time[32];
        std::snprintf(time, sizeof time, "2026-03-14T%02d:%02d:%02dZ", 8 + i / 3600, i / 60 % 60,
                      i % 60);
        const std::string common = std::string(R"("time":")") + time + R"(","handle":)" +
                                   std::to_string(i + 1) + R"(,"object":"D:\\Records\\case)" +
                                   std::to_string(i) + R"(.zrm")";
        scenario += R"({"id":4656,)" + common +
                    R"(,"mask":"0x120089"})"
                    "\n" +
                    R"({"id":4663,)" + common +
                    R"(,"mask":2})"
                    "\n" +
                    R"({"id":4658,)" + common + "}\n";
    }
    return scenario;
}

class DamagedLogRun : public Vzrmaud {
  protected:
    void SetUp() override {
        Vzrmaud::SetUp();
        Install();
    }

    struct Outcome {
        bool signalled = false;
        int status = -1;
    };

    // Runs a program without a shell (a signal must show as one), optionally
    // calling `meanwhile` with its process ID while it runs.
    Outcome Spawn(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& log, const std::function<void(pid_t)>& meanwhile = {}) {
        std::vector<std::string> env = {"TZ=UTC",
                                        "LANG=C.UTF-8",
                                        "PATH=/usr/bin:/bin",
                                        "SystemRoot=" + dir.File("Windows"),
                                        "VZRM_REGISTRY_DIR=" + dir.File("store"),
                                        "VZRM_LOCK_DIR=" + Locks(),
                                        "VZRM_APPLICATION_LOG=" + ApplicationLog(),
                                        "VZRM_SECURITY_LOG=" + log};
        if (const char* home = std::getenv("HOME")) {
            env.push_back(std::string("HOME=") + home);
        }
        std::vector<std::string> args = {program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_t pid = 0;
        Outcome outcome;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
            ADD_FAILURE() << "cannot start " << program;
            return outcome;
        }
        if (meanwhile) {
            meanwhile(pid);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.signalled = WIFSIGNALED(status);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }
    Outcome AuditLog(const std::string& log, const std::function<void(pid_t)>& meanwhile = {}) {
        return Spawn(VZRMAUD_PATH, {"-c", "-rf", reports}, log, meanwhile);
    }
    // Cuts the log to a third once the run holds it open for a while (it is
    // reading it then): the run fails with 1503, without a signal.
    void ExpectRunFailsWhenCut(const std::string& log) {
        const auto size = std::filesystem::file_size(log);
        bool cut = false;
        const Outcome run = AuditLog(log, [&](pid_t pid) {
            const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
            int seen = 0;
            for (int i = 0; i < 4000 && !cut; ++i) {
                bool open = false;
                std::error_code ignored;
                for (const auto& fd : std::filesystem::directory_iterator(fds, ignored)) {
                    open = open || std::filesystem::read_symlink(fd.path(), ignored) == log;
                }
                seen = open ? seen + 1 : 0;
                if (seen == 20) {
                    std::filesystem::resize_file(log, size / 3);
                    cut = true;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        if (!cut) {
            GTEST_SKIP()
                << "the run read the whole log before it could be cut (an optimised build)";
        }
        EXPECT_FALSE(run.signalled);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(ReportFiles().empty());
        const std::string summary = ReadText(reports + "/_ZRMAudit_summary.txt");
        EXPECT_NE(summary.find("Processed events: 0\r\nAudit report hasn't been created. The error "
                               "occurred:"),
                  std::string::npos)
            << summary;
        EXPECT_NE(summary.find("The event log file has changed between read operations."),
                  std::string::npos)
            << summary;
        const std::string application = ReadText(ApplicationLog());
        EXPECT_NE(application.find("STRG: [" + log + "]"), std::string::npos) << application;
        EXPECT_NE(application.find("Code : 1503"), std::string::npos) << application;
    }
    // The counts `vzrmlog info` gives for a file, as the warning words them.
    static std::string InfoCounts(const std::string& path) {
        const test::CommandResult info =
            test::RunCommand(std::string(VZRMLOG_PATH) + " info '" + path + "' 2>&1");
        std::string counts;
        for (const char* name :
             {"unreadable records", "damaged chunks", "repaired records", "truncated"}) {
            std::smatch found;
            EXPECT_TRUE(std::regex_search(info.output, found,
                                          std::regex(std::string("\n") + name + "\t(\\w+)\n")))
                << info.output;
            counts += std::string(name) + "=" + found[1].str() + " ";
        }
        return counts;
    }
    // The same counts from the warning in the Application log.
    std::string WarningCounts() const {
        const std::string log = ReadText(ApplicationLog());
        std::smatch found;
        if (!std::regex_search(
                log, found,
                std::regex("Unreadable records: (\\d+)\r?\nDamaged chunks: (\\d+)\r?\n"
                           "Records read with values cut short: (\\d+)\r?\n"
                           "Truncated: (\\w+)"))) {
            return "no warning in: " + log;
        }
        return "unreadable records=" + found[1].str() + " damaged chunks=" + found[2].str() +
               " repaired records=" + found[3].str() + " truncated=" + found[4].str() + " ";
    }
};

TEST_F(DamagedLogRun, ALogCutShortDuringTheRunFailsItWithoutASignal) {
    const std::string log = dir.File("Security.evtx");
    test::WriteEvtx(log, ZrmScenario(4000));
    ExpectRunFailsWhenCut(log);
}

TEST_F(DamagedLogRun, AClassicLogCutShortDuringTheRunFailsItToo) {
    // Larger than the windows it is read in, so that reading goes on after the cut.
    const std::string log = dir.File("Security.evt");
    test::WriteEvt(log, ZrmScenario(6000));
    ASSERT_GT(std::filesystem::file_size(log), 5u << 20);
    ExpectRunFailsWhenCut(log);
}

TEST_F(DamagedLogRun, ADamagedLogIsReportedAsFarAsItReadsWithOneWarning) {
    const std::string log = dir.File("Security.evtx");
    test::WriteEvtx(log, ZrmScenario(300));
    std::vector<std::uint8_t> bytes = test::ReadBytes(log);
    ASSERT_GT(bytes.size(), 0x1000u + 2 * 0x10000u);
    // The last chunk cut in the middle, and a record of the first one broken.
    bytes.resize(bytes.size() - 0x8000);
    bytes[0x1200 + 8 * 0x100] ^= 0xFF;
    WriteBytes(log, bytes);

    const Outcome run = AuditLog(log);
    EXPECT_FALSE(run.signalled);
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(ReportFiles().size(), 1u);
    const std::string report = ReadText(ReportFiles()[0]);
    const std::size_t rows =
        static_cast<std::size_t>(std::count(report.begin(), report.end(), '\n')) - 6;
    EXPECT_GT(rows, 400u);  // of 300 recordings, each a Create and a Close row
    EXPECT_LT(rows, 600u);
    EXPECT_EQ(WarningCounts(), InfoCounts(log));
    const std::string application = ReadText(ApplicationLog());
    EXPECT_NE(application.find("The Security log file " + log + " is damaged"), std::string::npos)
        << application;
    EXPECT_NE(application.find("Truncated: yes"), std::string::npos) << application;
    // The first damaged place is named, as `vzrmlog damage` lists it.
    std::smatch first;
    ASSERT_TRUE(
        std::regex_search(application, first,
                          std::regex("First damaged place: chunk (\\d+), offset 0x([0-9a-f]+)"
                                     "(, record \\d+)?: [a-z]")))
        << application;
    const test::CommandResult damage =
        test::RunCommand(std::string(VZRMLOG_PATH) + " damage '" + log + "'");
    EXPECT_NE(damage.output.find(first[1].str() + "\t0x" + first[2].str() + "\t"),
              std::string::npos)
        << damage.output;
    // One warning, and the summary as always.
    EXPECT_EQ(application.find("is damaged", application.find("is damaged") + 1),
              std::string::npos);
    EXPECT_NE(ReadText(reports + "/_ZRMAudit_summary.txt").find("Audit report: "),
              std::string::npos);
}

TEST_F(DamagedLogRun, CutAndFlippedRealSamplesWarnWithTheCountsVzrmlogShows) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    std::mt19937 random(20261207);
    const std::vector<std::uint8_t> full =
        test::ReadBytes(test::SamplesDir() + "/large-security-win11-v3.2.evtx");
    std::vector<std::uint8_t> flipped = full;
    for (int flip = 0; flip < 64; ++flip) {
        flipped[0x1000 + random() % (flipped.size() - 0x1000)] ^=
            static_cast<std::uint8_t>(1u << (random() % 8));
    }
    const std::vector<std::uint8_t> cut(full.begin(),
                                        full.begin() + static_cast<long>(full.size() / 2 + 0x2345));
    for (const auto& [name, bytes] : {std::pair{"cut.evtx", &cut}, {"flipped.evtx", &flipped}}) {
        SCOPED_TRACE(name);
        const std::string log = dir.File(name);
        WriteBytes(log, *bytes);
        std::filesystem::remove(ApplicationLog());
        const Outcome run = AuditLog(log);
        EXPECT_FALSE(run.signalled);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(WarningCounts(), InfoCounts(log));
        const test::CommandResult info =
            test::RunCommand(std::string(VZRMLOG_PATH) + " info '" + log + "'");
        EXPECT_EQ(info.status, 0);
        // The readable events are still there.
        std::smatch events;
        ASSERT_TRUE(std::regex_search(info.output, events, std::regex("\nevents\t(\\d+)\n")));
        EXPECT_GT(std::stoul(events[1].str()), name == std::string("cut.evtx") ? 3000u : 6000u);
    }
}

}  // namespace
}  // namespace vzrm
