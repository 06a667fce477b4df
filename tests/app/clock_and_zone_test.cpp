// Runs whose clock or zone differs from the run before: a stored period
// start after the run's start fails the run and keeps the dates; a run in
// another zone than the last one takes the stored dates as the same
// instants, so the runs' reports together hold every recording once; a zone
// the system does not know refuses the start.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
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

class ClockAndZone : public Vzrmaud {
  protected:
    void SetUp() override {
        Vzrmaud::SetUp();
        Install();
    }
    // Writes the date as a run with another clock would have stored it.
    void StoreDate(const std::string& name, double ole) {
        const test::CommandResult query =
            Run(std::string(VZRMREG_PATH) + " query '" + kOptions + "' /v " + name);
        std::smatch found;
        ASSERT_TRUE(std::regex_search(query.output, found,
                                      std::regex("REG_BINARY +([0-9A-F]*)[0-9A-F]{16}")))
            << query.output;
        std::uint8_t bytes[8];
        std::memcpy(bytes, &ole, sizeof bytes);
        std::string hex = found[1].str();
        for (const std::uint8_t b : bytes) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", b);
            hex += two;
        }
        ASSERT_EQ(Run(std::string(VZRMREG_PATH) + " add '" + kOptions + "' /v " + name +
                      " /t REG_BINARY /d " + hex + " /f")
                      .status,
                  0);
    }
    std::string LastBlock() const {
        const std::string summary = Summary();
        return summary.substr(summary.rfind("Start of processing"));
    }
};

TEST_F(ClockAndZone, AStoredStartAfterTheRunsStartFailsTheRunAndKeepsTheDates) {
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    const double first = StoredDate("LastDateProc");
    // A run with the clock a day ahead stored its start.
    StoreDate("LastDateProc", first + 1);
    const double data = StoredDate("LastDateData");
    const test::CommandResult run = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string block = LastBlock();
    EXPECT_NE(block.find("is later than the start of this run"), std::string::npos) << block;
    EXPECT_NE(block.find("LastDateProc"), std::string::npos) << block;
    EXPECT_NE(ReadText(ApplicationLog()).find("PERIODSTARTLATE"), std::string::npos);
    EXPECT_EQ(ReportFiles().size(), 1u);
    EXPECT_EQ(StoredDate("LastDateProc"), first + 1);
    EXPECT_EQ(StoredDate("LastDateData"), data);
    // So is a date far in the future written into the store.
    StoreDate("LastDateProc", 73051);  // 2099-12-31
    EXPECT_EQ(Audit("-c -rf '" + reports + "'").status, 1);
    EXPECT_NE(LastBlock().find("is later than the start of this run"), std::string::npos);
}

TEST_F(ClockAndZone, AnUnknownZoneRefusesTheStart) {
    const test::CommandResult run = Audit("-c -rf '" + reports + "'", "", "TZ=Bogus/Zone ");
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(run.output.find("TZ=Bogus/Zone"), std::string::npos) << run.output;
    EXPECT_NE(ReadText(ApplicationLog()).find("UNKNOWNTIMEZONE"), std::string::npos);
    EXPECT_TRUE(ReportFiles().empty());
    for (const char* known : {"TZ=Asia/Tokyo ", "TZ=:UTC ", "TZ=CET-1CEST,M3.5.0,M10.5.0/3 "}) {
        EXPECT_EQ(Audit("-c -rf '" + reports + "'", "", known).status, 0) << known;
    }
}

// Parameter: the zone of the first run and the zone of the two after it.
class ZoneChange : public ClockAndZone,
                   public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(ZoneChange, TheRunsTogetherReportEveryRecordingOnce) {
    const std::string first = std::string("TZ=") + GetParam().first + " ";
    const std::string then = std::string("TZ=") + GetParam().second + " ";
    const std::time_t t0 = std::time(nullptr);
    std::vector<std::time_t> times = {t0 - 20, t0 - 19, t0 - 18};
    test::WriteEvtx(dir.File("a.evtx"), test::Recordings(times));
    ASSERT_EQ(Audit("-c -rf '" + reports + "'", dir.File("a.evtx"), first).status, 0);
    times.insert(times.end(), {t0 + 1, t0 + 2});
    test::WriteEvtx(dir.File("b.evtx"), test::Recordings(times));
    test::WaitUntil(t0 + 5);
    ASSERT_EQ(Audit("-c -rf '" + reports + "'", dir.File("b.evtx"), then).status, 0);
    times.insert(times.end(), {t0 + 6, t0 + 7});
    test::WriteEvtx(dir.File("c.evtx"), test::Recordings(times));
    test::WaitUntil(t0 + 10);
    ASSERT_EQ(Audit("-c -rf '" + reports + "'", dir.File("c.evtx"), then).status, 0);

    const std::string single = dir.File("single");
    std::filesystem::create_directory(single);
    for (const char* name : {"LastDateProc", "LastDateData", "LastDateZone"}) {
        Run(std::string(VZRMREG_PATH) + " delete '" + kOptions + "' /v " + name + " /f");
    }
    ASSERT_EQ(Audit("-c -rf '" + single + "'", dir.File("c.evtx")).status, 0);
    const std::multiset<std::string> expected = test::ReportRows(test::ReportsIn(single), true);
    EXPECT_EQ(expected.size(), 2 * times.size());
    EXPECT_EQ(test::ReportRows(test::ReportsIn(reports), true), expected);
}

INSTANTIATE_TEST_SUITE_P(BothDirections, ZoneChange,
                         ::testing::Values(std::pair{"Asia/Tokyo", "America/Los_Angeles"},
                                           std::pair{"America/Los_Angeles", "Asia/Tokyo"}),
                         [](const auto& info) {
                             return info.index == 0 ? "Westward" : "Eastward";
                         });

}  // namespace
}  // namespace vzrm
