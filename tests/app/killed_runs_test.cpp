// Runs killed at random moments (kill -9, SIGHUP) over a log that grows
// between runs: the reports that summary blocks name hold every recording
// exactly once, and every other file in the folder (but the summary and its
// seal) is the partial report of a killed run that a later block names.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "app/recordings.h"
#include "app/vzrmaud_fixture.h"
#include "support/log_files.h"

namespace vzrm {
namespace {

const char kOptions[] = "HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options";

// What the summary's blocks name after a pattern: the text of its group.
std::set<std::string> Named(const std::string& summary, const std::string& pattern) {
    std::set<std::string> names;
    const std::regex named(pattern);
    for (std::sregex_iterator it(summary.begin(), summary.end(), named), end; it != end; ++it) {
        names.insert((*it)[1].str());
    }
    return names;
}

TEST_F(Vzrmaud, FiftyKilledRunsLoseNothingAndRepeatNothing) {
    Install();
    const std::string log = dir.File("grown.evtx");
    std::vector<std::time_t> times(1000, std::time(nullptr) - 100);
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> delay(0, 800);
    std::time_t ended = 0;
    for (int i = 0; i < 50; ++i) {
        // New recordings before each run, of a second no completed run has
        // passed: a period ends at its run's start, that second included, so
        // a run that began and ended within the last second has passed it.
        times.insert(times.end(), 5, std::max(std::time(nullptr) - 1, ended + 1));
        test::WriteEvtx(log, test::Recordings(times));
        const std::string signal = i % 2 == 0 ? "KILL" : "HUP";
        test::RunCommand(Command(std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'", log) +
                         " & pid=$!; sleep " + std::to_string(delay(random) / 1000.0) + "; kill -" +
                         signal + " $pid 2>/dev/null; wait $pid");
        ended = std::time(nullptr);
    }
    // A last run after the newest second has passed reports what is left.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const test::CommandResult last = Audit("-c -rf '" + reports + "'", log);
    ASSERT_EQ(last.status, 0) << last.output;

    const std::string summary = Summary();
    const std::set<std::string> named = Named(summary, "Audit report: ([^\r]+)\r\n");
    const std::set<std::string> stopped =
        Named(summary, "An earlier run was stopped: partial report ([^\r]+) kept\\.\r\n");
    for (const auto& entry : std::filesystem::directory_iterator(reports)) {
        const std::string path = entry.path().string();
        if (entry.path().filename() != "_ZRMAudit_summary.txt" &&
            entry.path().filename() != "_ZRMAudit_seal.txt") {
            EXPECT_TRUE(named.count(path) != 0 || stopped.count(path) != 0)
                << path << " is named by no block";
        }
    }
    for (const std::string& path : named) {
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
    }
    // The kills came in the middle of runs, not only between them.
    EXPECT_FALSE(stopped.empty());
    EXPECT_NE(summary.find("Operation is interrupted."), std::string::npos);

    // One run over the whole log from an empty store gives every row once.
    for (const char* name : {"LastDateProc", "LastDateData", "LastDateZone"}) {
        Run(std::string(VZRMREG_PATH) + " delete '" + kOptions + "' /v " + name + " /f");
    }
    const std::string single = dir.File("single");
    std::filesystem::create_directory(single);
    ASSERT_EQ(Audit("-c -rf '" + single + "'", log).status, 0);
    const std::multiset<std::string> expected = test::ReportRows(test::ReportsIn(single));
    EXPECT_EQ(expected.size(), 2 * times.size());
    const std::multiset<std::string> reported = test::ReportRows({named.begin(), named.end()});
    EXPECT_EQ(reported.size(), expected.size());
    EXPECT_TRUE(reported == expected) << "rows lost or repeated";
}

}  // namespace
}  // namespace vzrm
