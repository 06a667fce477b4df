// Several processes share the options: a reader never sees a mix of two
// writes, and a writer killed in the middle leaves the previous pack whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "platform/posix/sqlite_registry.h"
#include "settings/options_profiles.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

using namespace platform;

const std::string kApp = "Software\\Quorvix\\VelmoraZRMAuditor";
constexpr int kValues = 10;

// Writes packs whose values all carry the same stamp.
[[noreturn]] void Writer(const test::ScopedRegistry& store, int id, int rounds) {
    posix::SqliteRegistry registry({store.MachineFile(), store.Dir().File("HKCU.db")});
    InstallServices({nullptr, nullptr, nullptr, &registry});
    CMainOpt options;
    if (!options.ReadRegOpt(kApp, HKEY_CURRENT_USER)) {
        _exit(2);
    }
    for (int round = 0; rounds < 0 || round < rounds; ++round) {
        const std::string stamp = std::to_string(id * 100000 + round);
        for (int v = 0; v < kValues; ++v) {
            options.SetOptStr("V" + std::to_string(v), stamp);
        }
        if (!options.WriteRegOpt()) {
            _exit(3);
        }
    }
    _exit(0);
}

// True when the stored pack is whole: every value carries one stamp (or none yet).
::testing::AssertionResult ReadWhole() {
    g_errorInfo.Clear();
    CMainOpt options;
    if (!options.ReadRegOpt(kApp, HKEY_CURRENT_USER)) {
        return ::testing::AssertionFailure() << "read failed: " << g_errorInfo.Render();
    }
    const std::string first = options.GetOptStr("V0");
    for (int v = 1; v < kValues; ++v) {
        const std::string value = options.GetOptStr("V" + std::to_string(v));
        if (value != first) {
            return ::testing::AssertionFailure() << "V0=" << first << " V" << v << "=" << value;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(OptionsBetweenProcesses, ReadersSeeOneWholePackNeverAMix) {
    test::ScopedRegistry store;
    std::vector<pid_t> writers;
    for (int id = 1; id <= 2; ++id) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Writer(store, id, 200);
        }
        writers.push_back(child);
    }
    int reads = 0;
    for (bool running = true; running; ++reads) {
        ASSERT_TRUE(ReadWhole());
        running = false;
        for (pid_t writer : writers) {
            running = running || waitpid(writer, nullptr, WNOHANG) == 0;
        }
    }
    for (pid_t writer : writers) {
        int status = 0;
        waitpid(writer, &status, 0);
    }
    EXPECT_TRUE(ReadWhole());
    EXPECT_GT(reads, 1);
}

TEST(OptionsBetweenProcesses, AWriterKilledMidWriteLeavesTheLastPackWhole) {
    test::ScopedRegistry store;
    std::mt19937 random(7);
    for (int attempt = 0; attempt < 15; ++attempt) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Writer(store, attempt + 1, -1);
        }
        usleep(static_cast<useconds_t>(5000 + random() % 40000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << status;
        ASSERT_TRUE(ReadWhole()) << "after kill " << attempt;
    }
}

}  // namespace
}  // namespace vzrm
