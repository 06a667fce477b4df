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

#include "app/vzrmaud_fixture.h"
#include "support/log_files.h"

namespace vzrm {
namespace {

const char kOptions[] = "HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options";

// Recording i is opened, written and closed in the second times[i], with the
// classic event identifiers or the modern ones.
std::string Recordings(const std::vector<std::time_t>& times, bool classic) {
    const std::string open = classic ? "560" : "4656";
    const std::string write = classic ? "567" : "4663";
    const std::string close = classic ? "562" : "4658";
    std::string scenario;
    for (std::size_t i = 0; i < times.size(); ++i) {
        char time[32];
        std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&times[i]));
        const std::string common = std::string(R"("time":")") + time + R"(","handle":)" +
                                   std::to_string(i + 1) + R"(,"object":"D:\\Records\\take)" +
                                   std::to_string(i) + R"(.zrm")";
        scenario += R"({"id":)" + open + "," + common + R"(,"mask":"0x120089"})" + "\n";
        scenario += R"({"id":)" + write + "," + common + R"(,"mask":2})" + "\n";
        scenario += R"({"id":)" + close + "," + common + "}\n";
    }
    return scenario;
}

void WaitUntil(std::time_t when) {
    while (std::time(nullptr) < when) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

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
    // The rows of every report in `folder`.
    static std::multiset<std::string> Rows(const std::string& folder) {
        std::multiset<std::string> rows;
        const std::regex row(R"(\d{4}\.\d\d\.\d\d,[^\r]*)");
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().rfind("ZRMAudit_", 0) != 0) {
                continue;
            }
            const std::string text = ReadText(entry.path());
            for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it) {
                rows.insert(it->str());
            }
        }
        return rows;
    }
};

TEST_P(CutLogRuns, TheRunsTogetherReportEveryRecordingOnce) {
    const std::time_t t0 = std::time(nullptr);
    const std::vector<std::time_t> before = {t0 - 20, t0 - 19, t0 - 18, t0 - 17, t0 - 16};
    std::vector<std::time_t> all = before;
    for (const std::time_t t : {t0 + 1, t0 + 1, t0 + 2, t0 + 2, t0 + 3}) {
        all.push_back(t);
    }
    WriteLog(dir.File("first.log"), Recordings(before, GetParam()));
    ASSERT_EQ(Audit("-c -rf '" + reports + "'", dir.File("first.log")).status, 0);

    // The copy ends inside the first record of recording 8: recording 7,
    // of the same second, is read whole.
    WriteLog(dir.File("whole.log"), Recordings(all, GetParam()));
    std::string bytes = ReadText(dir.File("whole.log"));
    const std::vector<std::size_t> offsets = RecordOffsets(bytes);
    ASSERT_EQ(offsets.size(), 3 * all.size());
    test::WriteFile(dir.File("cut.log"), bytes.substr(0, offsets[3 * 8] + 12));
    WaitUntil(t0 + 6);
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
    const std::multiset<std::string> expected = Rows(single);
    EXPECT_EQ(expected.size(), 2 * all.size());
    EXPECT_EQ(Rows(reports), expected);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, CutLogRuns, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Classic" : "Evtx"; });

}  // namespace
}  // namespace vzrm
