// Runs over a copy of the Security log cut short (a copy still being made):
// the run reports what it read up to the last whole second before the cut
// and the next run, over the whole log, reports the rest. Together the runs'
// reports hold every recording's rows exactly once.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "app/recordings.h"
#include "app/vzrmaud_fixture.h"
#include "support/log_files.h"

namespace vzrm {
namespace {

const char kOptions[] = "HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options";

// Parameter: the log is a classic one (else EVTX).
class CutLogRuns : public Vzrmaud, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        Vzrmaud::SetUp();
        Install();
    }
    void WriteLog(const std::string& path, const std::string& scenario) {
        if (GetParam()) {
            test::WriteEvt(path, scenario);
        } else {
            test::WriteEvtx(path, scenario);
        }
    }
    // Where each record starts, from the records' signatures.
    std::vector<std::size_t> RecordOffsets(const std::string& bytes) const {
        const std::string signature =
            GetParam() ? std::string("LfLe") : std::string("\x2a\x2a\x00\x00", 4);
        const std::size_t back = GetParam() ? 4 : 0;  // a classic record's length comes first
        std::vector<std::size_t> offsets;
        for (std::size_t at = bytes.find(signature, GetParam() ? 5 : 0); at != std::string::npos;
             at = bytes.find(signature, at + 1)) {
            offsets.push_back(at - back);
        }
        return offsets;
    }
};

TEST_P(CutLogRuns, TheRunsTogetherReportEveryRecordingOnce) {
    const std::time_t t0 = std::time(nullptr);
    const std::vector<std::time_t> before = {t0 - 20, t0 - 19, t0 - 18, t0 - 17, t0 - 16};
    std::vector<std::time_t> all = before;
    for (const std::time_t t : {t0 + 1, t0 + 1, t0 + 2, t0 + 2, t0 + 3}) {
        all.push_back(t);
    }
    WriteLog(dir.File("first.log"), test::Recordings(before, GetParam()));
    ASSERT_EQ(Audit("-c -rf '" + reports + "'", dir.File("first.log")).status, 0);

    // The copy ends inside the first record of recording 8: recording 7,
    // of the same second, is read whole.
    WriteLog(dir.File("whole.log"), test::Recordings(all, GetParam()));
    std::string bytes = ReadText(dir.File("whole.log"));
    const std::vector<std::size_t> offsets = RecordOffsets(bytes);
    ASSERT_EQ(offsets.size(), 3 * all.size());
    test::WriteFile(dir.File("cut.log"), bytes.substr(0, offsets[3 * 8] + 12));
    test::WaitUntil(t0 + 6);
    const test::CommandResult cut = Audit("-c -rf '" + reports + "'", dir.File("cut.log"));
    EXPECT_EQ(cut.status, 0) << cut.output;
    const std::string summary = Summary();
    const std::string block = summary.substr(summary.rfind("Start of processing"));
    EXPECT_NE(block.find("The Security log file " + dir.File("cut.log") + " is incomplete"),
              std::string::npos)
        << block;

    const test::CommandResult whole = Audit("-c -rf '" + reports + "'", dir.File("whole.log"));
    EXPECT_EQ(whole.status, 0) << whole.output;

    // One run over the whole log from an empty store gives every row.
    for (const char* name : {"LastDateProc", "LastDateData"}) {
        ASSERT_EQ(
            Run(std::string(VZRMREG_PATH) + " delete '" + kOptions + "' /v " + name + " /f").status,
            0);
    }
    const std::string single = dir.File("single");
    std::filesystem::create_directory(single);
    ASSERT_EQ(Audit("-c -rf '" + single + "'", dir.File("whole.log")).status, 0);
    const std::multiset<std::string> expected = test::ReportRows(test::ReportsIn(single));
    EXPECT_EQ(expected.size(), 2 * all.size());
    EXPECT_EQ(test::ReportRows(test::ReportsIn(reports)), expected);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, CutLogRuns, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Classic" : "Evtx"; });

}  // namespace
}  // namespace vzrm
