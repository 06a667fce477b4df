// `vzrmlog damage`: one line for each damaged place that `vzrmlog info`
// counts, each with its offset and reason, on real logs and on logs damaged
// on purpose.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

struct Place {
    std::string chunk;
    std::uint64_t offset = 0;
    std::string record;
    std::string reason;
};

std::vector<Place> DamageLines(const std::string& path) {
    const test::CommandResult run =
        test::RunCommand(std::string(VZRMLOG_PATH) + " damage '" + path + "' 2>/dev/null");
    EXPECT_EQ(run.status, 0) << path;
    std::vector<Place> places;
    std::istringstream lines(run.output);
    static const std::regex kLine(R"((-|\d+)\t0x([0-9a-f]+)\t(-|\d+)\t(.+))");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(line, m, kLine)) << line;
        if (!m.empty()) {
            places.push_back({m[1], std::stoull(m[2], nullptr, 16), m[3], m[4]});
        }
    }
    return places;
}

std::map<std::string, std::string> Info(const std::string& path) {
    const test::CommandResult run =
        test::RunCommand(std::string(VZRMLOG_PATH) + " info '" + path + "' 2>/dev/null");
    EXPECT_EQ(run.status, 0) << path;
    std::map<std::string, std::string> fields;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            fields[line.substr(0, tab)] = line.substr(tab + 1);
        }
    }
    return fields;
}

// The reasons of places where no record could be found.
bool IsRecordPlace(const std::string& reason) {
    static const std::set<std::string> kReasons = {"record header beyond the records' end",
                                                   "no record signature",
                                                   "record size too small",
                                                   "record size beyond the chunk",
                                                   "record size and its copy differ",
                                                   "no sound record here"};
    return kReasons.count(reason) != 0;
}

// Every place `info` counts is listed once, in the order of the file.
void ExpectListingMatchesInfo(const std::string& path) {
    SCOPED_TRACE(path);
    const std::vector<Place> places = DamageLines(path);
    std::map<std::string, std::string> info = Info(path);
    std::size_t recordPlaces = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
        recordPlaces += IsRecordPlace(places[i].reason) ? 1 : 0;
        if (i > 0) {
            EXPECT_LE(places[i - 1].offset, places[i].offset);
        }
    }
    EXPECT_EQ(std::to_string(recordPlaces), info["damaged record places"]);
    const std::size_t truncated = info["truncated"] == "yes" ? 1 : 0;
    const std::size_t chunkRecords = info.count("chunks with damaged records")
                                         ? std::stoul(info["chunks with damaged records"])
                                         : 0;
    EXPECT_EQ(places.size(), std::stoul(info["unreadable records"]) +
                                 std::stoul(info["damaged chunks"]) + chunkRecords + truncated);
}

TEST(DamageCommand, RealSamplesListEveryPlaceInfoCounts) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    for (const char* extension : {".evtx", ".evt"}) {
        for (const std::string& path : test::SampleFiles(extension)) {
            ExpectListingMatchesInfo(path);
            // No value of these logs needs repair: nulls of 2 and 16 bytes,
            // as Windows 11 writes them, are sound.
            EXPECT_EQ(Info(path)["repaired records"], "0") << path;
        }
    }
}

TEST(DamageCommand, DamagedPlacesOfAGeneratedLogAreNamedWhereTheyAre) {
    test::TempDir dir;
    std::string scenario;
    for (int i = 0; i < 400; ++i) {
        scenario += R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) +
                    R"(,"object":"D:\\Records\\a.zrm","mask":2})"
                    "\n";
    }
    test::WriteEvtx(dir.File("g.evtx"), scenario);
    std::vector<std::uint8_t> bytes = test::ReadBytes(dir.File("g.evtx"));
    ASSERT_GT(bytes.size(), 0x1000u + 2 * 0x10000u);
    // A record's signature broken in the first chunk, the second chunk's
    // header checksum, and the file cut inside the last chunk.
    const std::size_t second = 0x1000 + 0x10000;
    bytes[0x1000 + 0x200] ^= 0xFF;
    bytes[second + 0x40] ^= 0x01;
    bytes.resize(bytes.size() - 0x8000);
    std::ofstream(dir.File("d.evtx"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const std::vector<Place> places = DamageLines(dir.File("d.evtx"));
    ExpectListingMatchesInfo(dir.File("d.evtx"));
    ASSERT_GE(places.size(), 4u);
    // The first chunk's records checksum, and the record that lost its signature.
    EXPECT_EQ(places[0].offset, 0x1000u + 0x200);
    EXPECT_EQ(places[0].reason, "records checksum");
    EXPECT_EQ(places[1].offset, 0x1000u + 0x200);
    EXPECT_EQ(places[1].chunk, "0");
    EXPECT_EQ(places[1].reason, "no record signature");
    EXPECT_EQ(places[1].record, "-");
    bool header = false;
    bool tail = false;
    for (const Place& place : places) {
        header = header || (place.offset == second && place.reason == "chunk header checksum" &&
                            place.chunk == "1");
        tail = tail || (place.offset == bytes.size() && place.chunk == "-" &&
                        place.reason == "the file ends before its log does");
    }
    EXPECT_TRUE(header);
    EXPECT_TRUE(tail);

    // The same places as JSON Lines, read back by Python's json module.
    const test::CommandResult json = test::RunCommand(
        std::string(VZRMLOG_PATH) + " damage '" + dir.File("d.evtx") +
        "' --format json | python3 -c 'import json,sys\n"
        "for l in sys.stdin: o=json.loads(l); print(o[\"chunk\"], o[\"offset\"], o[\"record\"], "
        "o[\"reason\"])'");
    ASSERT_EQ(json.status, 0) << json.output;
    EXPECT_EQ(json.output.rfind("0 0x1200 None records checksum\n"
                                "0 0x1200 None no record signature\n",
                                0),
              0u)
        << json.output;
}

TEST(DamageCommand, AnIntactLogHasNoPlacesAndAFileThatIsNoLogIsRefused) {
    test::TempDir dir;
    test::WriteEvtx(dir.File("g.evtx"), R"({"id":4663,"time":"2026-03-14T08:05:33Z"})");
    EXPECT_TRUE(DamageLines(dir.File("g.evtx")).empty());
    test::WriteFile(dir.File("x.txt"), "not a log");
    const test::CommandResult refused =
        test::RunCommand(std::string(VZRMLOG_PATH) + " damage '" + dir.File("x.txt") + "' 2>&1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("not an event log"), std::string::npos) << refused.output;
}

}  // namespace
}  // namespace vzrm
