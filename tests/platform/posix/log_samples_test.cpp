// Real Security logs from public sources: what our readers find in them must
// agree with Debian's independent readers (libevtx-utils, libevt-utils).
#include <gtest/gtest.h>

#include "platform/posix/eventlog/log_file_bytes.h"

#include <cstring>
#include <filesystem>
#include <regex>

#include "formats/evtx_file.h"
#include "formats/evtx_reader.h"
#include "support/log_counts.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using Counts = std::map<std::uint32_t, std::size_t>;

// Counts by event identifier from evtxexport or evtexport; nullopt when the tool failed.
std::optional<Counts> TheirCounts(const std::string& tool, const std::string& path) {
    const test::CommandResult result = test::RunCommand(tool + " '" + path + "' 2>/dev/null");
    if (result.status != 0) {
        return std::nullopt;
    }
    Counts counts;
    static const std::regex kIdentifier(R"(Event identifier\s*: 0x([0-9a-f]+))");
    for (auto it = std::sregex_iterator(result.output.begin(), result.output.end(), kIdentifier);
         it != std::sregex_iterator(); ++it) {
        ++counts[static_cast<std::uint32_t>(std::stoul((*it)[1], nullptr, 16) & 0xFFFF)];
    }
    return counts;
}

std::size_t Total(const Counts& counts) {
    std::size_t total = 0;
    for (const auto& [id, count] : counts) {
        total += count;
    }
    return total;
}

std::string Name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

class LogSamples : public ::testing::Test {
  protected:
    void SetUp() override {
        if (test::SamplesDir().empty()) {
            GTEST_SKIP() << "no ../shared/samples beside the repository";
        }
    }
};

TEST_F(LogSamples, EvtxCountsMatchEvtxexport) {
    if (!test::HaveProgram("evtxexport")) {
        GTEST_SKIP() << "evtxexport (libevtx-utils) is not installed";
    }
    for (const std::string& path : test::SampleFiles(".evtx")) {
        SCOPED_TRACE(Name(path));
        const Counts ours = test::OurEventCounts(path);
        const std::optional<Counts> theirs = TheirCounts("evtxexport", path);
        if (!theirs) {
            continue;  // the forwarded-event sample: checked on its own below
        }
        formats::EvtxFile file;
        ASSERT_EQ(platform::posix::OpenEvtxFile(file, path), 0);
        if (file.Damage().recordsDamaged == 0) {
            EXPECT_EQ(ours, *theirs);
            continue;
        }
        // Past a damaged record evtxexport gives up on the chunk; we resume at
        // the next sound record, so we find everything it finds and more.
        for (const auto& [id, count] : *theirs) {
            EXPECT_GE(ours.count(id) ? ours.at(id) : 0, count) << "event " << id;
        }
    }
}

TEST_F(LogSamples, EvtCountsMatchEvtexport) {
    if (!test::HaveProgram("evtexport")) {
        GTEST_SKIP() << "evtexport (libevt-utils) is not installed";
    }
    for (const std::string& path : test::SampleFiles(".evt")) {
        SCOPED_TRACE(Name(path));
        const std::optional<Counts> theirs = TheirCounts("evtexport", path);
        ASSERT_TRUE(theirs);
        EXPECT_EQ(test::OurEventCounts(path), *theirs);
    }
}

TEST_F(LogSamples, StaleHeadersDoNotHideChunks) {
    // The headers count 65 and 72 chunks; 88 and 89 hold records.
    const std::string dir = test::SamplesDir();
    EXPECT_EQ(Total(test::OurEventCounts(dir + "/large-security-win2012r2-stale-header.evtx")),
              8574u);
    EXPECT_EQ(Total(test::OurEventCounts(dir + "/large-security-win11-v3.2.evtx")), 6740u);
    formats::EvtxFile file;
    ASSERT_EQ(
        platform::posix::OpenEvtxFile(file, dir + "/large-security-win2012r2-stale-header.evtx"),
        0);
    EXPECT_EQ(file.Header().chunkCount, 65);
    EXPECT_EQ(file.Chunks().size(), 88u);
}

TEST_F(LogSamples, SlackRecordsAreNotEvents) {
    const std::string dir = test::SamplesDir();
    const Counts netshare = test::OurEventCounts(dir + "/odd-recovered-4658-netshare.evtx");
    EXPECT_EQ(Total(netshare), 3u);
    EXPECT_EQ(netshare.count(4658), 0u);
    EXPECT_EQ(Total(test::OurEventCounts(dir + "/odd-cleared-1-record.evtx")), 1u);
}

TEST_F(LogSamples, ForwardedEventsAreRead) {
    // Values stored as text, elements without templates: libevtx gives up here.
    const Counts counts =
        test::OurEventCounts(test::SamplesDir() + "/odd-wec-rendered-4656-wsman.evtx");
    EXPECT_EQ(counts, (Counts{{4656, 29}}));
}

TEST_F(LogSamples, EventsReadIntoOneEventAgreeWithFreshOnes) {
    // One event read into again and again (as the log's handles are) must
    // hold what a fresh event of its own holds. The values alone are taken
    // by a shortcut where every Data element is a substitution; the names
    // and values walk the template. All must agree on every event of every
    // sample, UserData and nested fragments included.
    // By their bytes: each reader holds its chunks in buffers of its own.
    const auto same = [](const formats::BxValue& a, const formats::BxValue& b) {
        return a.type == b.type && a.size == b.size && (a.data == nullptr) == (b.data == nullptr) &&
               (a.size == 0 || a.data == nullptr || std::memcmp(a.data, b.data, a.size) == 0);
    };
    std::size_t events = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::SamplesDir())) {
        if (entry.path().extension() != ".evtx") {
            continue;
        }
        auto file = std::make_shared<formats::EvtxFile>();
        if (platform::posix::OpenEvtxFile(*file, entry.path().string()) != 0) {
            continue;
        }
        formats::EvtxReader reader(file);
        formats::EvtxReader freshReader(file);
        formats::EvtxEvent event;
        std::vector<formats::BxValue> values;
        while (reader.Next(event)) {
            ++events;
            const std::optional<formats::EvtxEvent> fresh = freshReader.Next();
            ASSERT_TRUE(fresh.has_value());
            const std::string where =
                Name(entry.path()) + " " + std::to_string(event.record.recordId);
            ASSERT_EQ(event.record.recordId, fresh->record.recordId) << where;
            EXPECT_EQ(event.document.repaired, fresh->document.repaired) << where;
            EXPECT_TRUE(same(event.document.Value("Event/System/EventID"),
                             fresh->document.Value("Event/System/EventID")))
                << where;
            event.document.EventDataValues(values);
            const auto named = event.document.EventData();
            const auto freshNamed = fresh->document.EventData();
            ASSERT_EQ(values.size(), named.size()) << where;
            ASSERT_EQ(named.size(), freshNamed.size()) << where;
            for (std::size_t i = 0; i < values.size(); ++i) {
                EXPECT_TRUE(same(values[i], named[i].second)) << where << " value " << i;
                EXPECT_TRUE(same(named[i].second, freshNamed[i].second)) << where;
                EXPECT_EQ(named[i].first, freshNamed[i].first) << where;
            }
        }
        EXPECT_FALSE(freshReader.Next().has_value());
    }
    EXPECT_GT(events, 1000u);
}

TEST_F(LogSamples, DamagedChunksAreCountedAndSkippedNotFatal) {
    formats::EvtxFile file;
    ASSERT_EQ(platform::posix::OpenEvtxFile(file, test::SamplesDir() + "/odd-bad-chunk-magic.evtx"),
              0);
    EXPECT_EQ(file.Header().chunkCount, 16);
    EXPECT_EQ(file.Chunks().size(), 4u);
    EXPECT_EQ(file.Damage().chunksBadData, 3u);
    EXPECT_GT(file.Damage().recordsDamaged, 0u);
}

}  // namespace
}  // namespace vzrm
