// Records whose binary XML is damaged in a way that leaves the rest readable:
// a SID cut short, a template definition whose size does not fit. They are
// read with their intact values and counted as repaired; and `vzrmlog dump`
// shows every value as it is.
#include <gtest/gtest.h>

#include "platform/posix/eventlog/log_file_bytes.h"

#include <fstream>
#include <set>

#include "formats/binxml.h"
#include "formats/binxml_value_text.h"
#include "formats/byte_reader.h"
#include "formats/evtx_reader.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace vzrm::platform::posix;
using namespace vzrm::formats;

constexpr std::size_t kChunk = 0x1000;       // the first chunk in the file
constexpr std::size_t kFirstRecord = 0x200;  // in the chunk
constexpr std::size_t kFragment = kFirstRecord + kEvtxRecordHeaderSize;
constexpr std::uint16_t kSubjectSid = 14;  // the first EventData value
constexpr std::uint16_t kObjectName = 20;
constexpr std::uint16_t kAccessMask = 23;

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct Read {
    std::vector<std::vector<std::pair<std::string, std::string>>> data;  // per event
    std::size_t repaired = 0;
    std::size_t skipped = 0;
};

Read ReadAll(const std::vector<std::uint8_t>& bytes) {
    auto file = std::make_shared<EvtxFile>();
    Read read;
    if (file->Attach(bytes) != 0) {
        return read;
    }
    EvtxReader reader(file);
    while (auto event = reader.Next()) {
        read.data.emplace_back();
        for (const auto& [name, value] : event->document.EventData()) {
            read.data.back().emplace_back(name, BxValueText(value));
        }
    }
    read.repaired = reader.RepairedRecords();
    read.skipped = reader.SkippedRecords();
    return read;
}

class LogRepairs : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string scenario;
        for (int i = 0; i < 5; ++i) {
            scenario += R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":)" +
                        std::to_string(i + 1) +
                        R"(,"mask":2})"
                        "\n";
        }
        test::WriteEvtx(dir.File("g.evtx"), scenario);
        bytes = test::ReadBytes(dir.File("g.evtx"));
        sound = ReadAll(bytes);
        ASSERT_EQ(sound.data.size(), 5u);
    }

    // The file offset of the first record's value `index`, and of its descriptor.
    std::size_t ValueAt(std::uint16_t index) {
        BxTemplateCache cache;
        const std::span<const std::uint8_t> chunk(bytes.data() + kChunk, kEvtxChunkSize);
        const auto size = LoadLe<std::uint32_t>(chunk.data() + kFirstRecord + 4);
        const BxDocument document = ParseFragment(
            chunk, kFragment, static_cast<std::uint32_t>(kFirstRecord + size - 4), cache);
        return kChunk + static_cast<std::size_t>(document.values[index].data - chunk.data());
    }
    std::size_t DescriptorAt(std::uint16_t index) {
        const std::size_t values = ValueAt(0);
        const std::size_t count = LoadLe<std::uint32_t>(bytes.data() + values - 4 * 27 - 4);
        EXPECT_EQ(count, 27u);  // 14 System values, 13 EventData values
        return values - 4 * count + 4 * index;
    }
    std::string VzrmlogInfo() {
        WriteBytes(dir.File("d.evtx"), bytes);
        return test::RunCommand(std::string(VZRMLOG_PATH) + " info '" + dir.File("d.evtx") + "'")
            .output;
    }

    test::TempDir dir;
    std::vector<std::uint8_t> bytes;
    Read sound;
};

TEST_F(LogRepairs, ASidCutShortIsReadAsFarAsItGoes) {
    const std::size_t sid = ValueAt(kSubjectSid);
    ASSERT_EQ(bytes[sid + 1], 5);  // S-1-5-21-a-b-c-1001
    bytes[sid + 1] = 9;            // four more sub-authorities than its 28 bytes hold
    const Read read = ReadAll(bytes);
    ASSERT_EQ(read.data.size(), 5u);
    EXPECT_EQ(read.repaired, 1u);
    EXPECT_EQ(read.data, sound.data);  // the SID's text as far as its bytes go, all else intact
    EXPECT_NE(VzrmlogInfo().find("\nrepaired records\t1\n"), std::string::npos);

    // Its descriptor says fewer bytes than the SID has: the text ends there.
    bytes[sid + 1] = 5;
    bytes[DescriptorAt(kSubjectSid)] = 16;  // a 28-byte SID given 16 bytes
    const Read shorter = ReadAll(bytes);
    ASSERT_EQ(shorter.data.size(), 5u);
    EXPECT_EQ(shorter.repaired, 1u);
    EXPECT_EQ(shorter.data[0][0].second, "S-1-5-21-1004336348");
    EXPECT_EQ(shorter.data[1], sound.data[1]);
}

TEST_F(LogRepairs, ATemplateDefinitionWhoseSizeDoesNotFitIsReadToItsEnd) {
    // The first record defines the template in place, its size at +20.
    const std::size_t definition = kChunk + kFragment + 4 + 2 + 4 + 4;
    ASSERT_EQ(LoadLe<std::uint32_t>(bytes.data() + definition - 4), definition - kChunk);
    const std::size_t sizeAt = definition + 20;
    const auto size = LoadLe<std::uint32_t>(bytes.data() + sizeAt);
    for (const std::uint32_t wrong : {size + 0x40, size + 0x1000, 0x00FFFFFFu, size - 0x10}) {
        SCOPED_TRACE(wrong);
        std::vector<std::uint8_t> damaged = bytes;
        std::memcpy(damaged.data() + sizeAt, &wrong, 4);
        const Read read = ReadAll(damaged);
        ASSERT_EQ(read.data.size(), 5u);
        EXPECT_EQ(read.repaired, 1u);
        EXPECT_EQ(read.skipped, 0u);
        EXPECT_EQ(read.data, sound.data);
    }
}

TEST_F(LogRepairs, ATemplateThatEndsInsideItsElementsKeepsWhatItHolds) {
    // The definition runs into the chunk's end: its elements end with it, and
    // what they held before is there.
    const std::size_t definition = kChunk + kFragment + 4 + 2 + 4 + 4;
    const auto size = LoadLe<std::uint32_t>(bytes.data() + definition + 20);
    const auto cut = static_cast<std::uint32_t>(definition - kChunk + 24 + size / 2);
    BxTemplateCache cache;
    const std::span<const std::uint8_t> chunk(bytes.data() + kChunk, cut);
    // The record's values are gone with the rest of the chunk; the template
    // alone, as a later record would meet it, is read in part.
    EXPECT_THROW(ParseFragment(chunk, kFragment, cut, cache), MalformedInput);
    const auto shape = cache.Find(static_cast<std::uint32_t>(definition - kChunk));
    ASSERT_TRUE(shape);
    EXPECT_TRUE(shape->cutShort);
    EXPECT_EQ(shape->elements[0].name, "Event");
    EXPECT_EQ(shape->Locate("Event/System/EventID").kind, BxTarget::Kind::substitution);
}

TEST_F(LogRepairs, DumpShowsUnnamedItemsArrayElementsAndBinaryValuesSeparately) {
    // The Name attribute renamed in the template: every Data item (and the
    // provider) unnamed.
    const std::u16string name = u"Name";
    const auto* from = reinterpret_cast<const std::uint8_t*>(name.data());
    const auto end = bytes.begin() + static_cast<long>(ValueAt(0));
    int renamed = 0;
    for (auto at = std::search(bytes.begin() + kChunk + kFirstRecord, end, from, from + 8);
         at != end; at = std::search(at, end, from, from + 8)) {
        at[2] = 'o';
        ++renamed;
    }
    ASSERT_GT(renamed, 13);
    // The first record's object name as a string array of two, its access mask binary.
    const std::size_t object = ValueAt(kObjectName);
    const std::u16string dot = u".zrm";
    const auto period = std::search(bytes.begin() + static_cast<long>(object), bytes.end(),
                                    reinterpret_cast<const std::uint8_t*>(dot.data()),
                                    reinterpret_cast<const std::uint8_t*>(dot.data()) + 8);
    ASSERT_NE(period, bytes.end());
    period[0] = 0;
    bytes[DescriptorAt(kObjectName) + 2] = kBxString | kBxArray;
    bytes[DescriptorAt(kAccessMask) + 2] = kBxBinary;
    WriteBytes(dir.File("d.evtx"), bytes);
    const test::CommandResult dump =
        test::RunCommand(std::string(VZRMLOG_PATH) + " dump '" + dir.File("d.evtx") + "'");
    ASSERT_EQ(dump.status, 0);
    const std::string first = dump.output.substr(0, dump.output.find('\n'));
    EXPECT_NE(first.find("\tRECPC\tData1=S-1-5-21-1004336348-1177238915-682003330-1001\t"
                         "Data2=operator\t"),
              std::string::npos)
        << first;
    EXPECT_NE(first.find("\tData7=D:\\Records\\case\tData8=zrm\tData9=0x1\t"), std::string::npos)
        << first;
    EXPECT_NE(first.find("\tData11=02000000\t"), std::string::npos) << first;
    EXPECT_EQ(first.find("Data15="), std::string::npos) << first;  // 14 values, one split in two
}

TEST(LogRepairsOnSamples, NoRecordIsReadTwice) {
    for (const std::string& path : test::SampleFiles(".evtx")) {
        SCOPED_TRACE(path);
        auto file = std::make_shared<EvtxFile>();
        ASSERT_EQ(OpenEvtxFile(*file, path), 0);
        EvtxReader reader(file);
        std::set<std::uint64_t> seen;
        std::size_t events = 0;
        while (auto event = reader.Next()) {
            ++events;
            EXPECT_TRUE(seen.insert(event->record.recordId).second) << event->record.recordId;
        }
        EXPECT_EQ(reader.Error(), 0);
    }
}

}  // namespace
}  // namespace vzrm
