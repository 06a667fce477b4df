// Records whose binary XML is damaged in a way that leaves the rest readable:
// a SID cut short, a template definition whose size does not fit or that ends
// inside an element, values zeroed or of sizes their types do not have. They
// are read with their intact values and counted as repaired; and `vzrmlog
// dump` shows every value as it is.
#include <gtest/gtest.h>

#include "platform/posix/eventlog/log_file_bytes.h"

#include <fstream>
#include <set>

#include "formats/binxml.h"
#include "formats/binxml_value_text.h"
#include "formats/byte_reader.h"
#include "formats/crc32.h"
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
    // The record's values are gone with the rest of the chunk: it is read
    // with the elements its template holds and no value.
    const BxDocument document = ParseFragment(chunk, kFragment, cut, cache);
    EXPECT_TRUE(document.repaired);
    EXPECT_TRUE(document.values.empty());
    const auto shape = cache.Find(static_cast<std::uint32_t>(definition - kChunk));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape.get(), document.shape.get());
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

// The log with the bytes of its first record from `from` (a file offset) to
// the record's end replaced by `tail`: the record's size, the chunk's free
// space and both checksums made to fit. The log holds that one record.
std::vector<std::uint8_t> WithFirstRecordEnd(const std::vector<std::uint8_t>& log, std::size_t from,
                                             std::vector<std::uint8_t> tail) {
    std::vector<std::uint8_t> out(log.begin(), log.begin() + static_cast<long>(from));
    out.insert(out.end(), tail.begin(), tail.end());
    while ((out.size() + 4) % 8 != 0) {
        out.push_back(0);
    }
    const auto size = static_cast<std::uint32_t>(out.size() + 4 - kChunk - kFirstRecord);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    }
    std::memcpy(out.data() + kChunk + kFirstRecord + 4, &size, 4);
    std::uint8_t* chunk = out.data() + kChunk;
    const auto free = static_cast<std::uint32_t>(kFirstRecord + size);
    std::memcpy(chunk + 0x30, &free, 4);
    out.resize(kChunk + kEvtxChunkSize, 0);
    chunk = out.data() + kChunk;
    const std::uint32_t data = Crc32(chunk + kEvtxChunkHeaderSize, free - kEvtxChunkHeaderSize);
    std::memcpy(chunk + 0x34, &data, 4);
    const std::uint32_t header =
        Crc32(chunk + 0x80, kEvtxChunkHeaderSize - 0x80, Crc32(chunk, 0x78));
    std::memcpy(chunk + 0x7C, &header, 4);
    return out;
}

// A substitution value list: the count, the descriptors, the values, the
// fragment's end.
std::vector<std::uint8_t> ValueList(
    const std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>>& values) {
    std::vector<std::uint8_t> list(4, 0);
    list[0] = static_cast<std::uint8_t>(values.size());
    for (const auto& [type, bytes] : values) {
        list.push_back(static_cast<std::uint8_t>(bytes.size()));
        list.push_back(static_cast<std::uint8_t>(bytes.size() >> 8));
        list.push_back(type);
        list.push_back(0);
    }
    for (const auto& value : values) {
        list.insert(list.end(), value.second.begin(), value.second.end());
    }
    list.push_back(0);
    return list;
}

std::vector<std::uint8_t> Utf16(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

TEST_F(LogRepairs, PointerSizedValuesAreNumbersAtFourOrEightBytesAndDamageOtherwise) {
    // HandleId and ProcessId declared SizeT instead of HexInt64: the same 8 bytes.
    constexpr std::uint16_t kHandleId = 21;
    constexpr std::uint16_t kProcessId = 24;
    for (const std::uint16_t index : {kHandleId, kProcessId}) {
        ASSERT_EQ(bytes[DescriptorAt(index) + 2], kBxHexInt64);
        bytes[DescriptorAt(index) + 2] = kBxSizeT;
    }
    const Read pointers = ReadAll(bytes);
    EXPECT_EQ(pointers.data, sound.data);
    EXPECT_EQ(pointers.repaired, 0u);
    EXPECT_EQ(pointers.data[0][7], (std::pair<std::string, std::string>("HandleId", "0x1")));

    // A pointer of one byte is no pointer: the record is read, the value is empty.
    constexpr std::uint16_t kVersion = 3;
    bytes[DescriptorAt(kVersion) + 2] = kBxSizeT;
    const Read odd = ReadAll(bytes);
    ASSERT_EQ(odd.data.size(), 5u);
    EXPECT_EQ(odd.repaired, 1u);
    EXPECT_EQ(odd.data, sound.data);

    const std::uint8_t four[] = {0x8C, 0x73, 0, 0};
    const std::uint8_t eight[] = {0x8C, 0x73, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(BxValueText({kBxSizeT, four, 4}), "0x738c");
    EXPECT_EQ(BxValueNumber({kBxSizeT, four, 4}), 0x738Cu);
    EXPECT_EQ(BxValueText({kBxSizeT, eight, 8}), "0x800000000000738c");
    EXPECT_EQ(BxValueTextFirstByte({kBxSizeT, eight, 8}), '0');
    EXPECT_EQ(BxValueText({kBxSizeT, eight, 6}), "");
    EXPECT_EQ(BxValueNumber({kBxSizeT, eight, 2}), std::nullopt);
    EXPECT_EQ(BxValueTextFirstByte({kBxSizeT, eight, 3}), -1);
}

TEST_F(LogRepairs, ALogEndingInZerosShorterThanAChunkIsNotCutShort) {
    const std::size_t chunks = (bytes.size() - kChunk) / kEvtxChunkSize;
    for (const std::size_t zeros :
         {std::size_t{0x10}, std::size_t{0x3000}, 8 * kEvtxChunkSize + 0x3000}) {
        SCOPED_TRACE(zeros);
        std::vector<std::uint8_t> padded = bytes;
        padded.resize(bytes.size() + zeros, 0);
        auto file = std::make_shared<EvtxFile>();
        ASSERT_EQ(file->Attach(padded), 0);
        EXPECT_FALSE(file->TruncatedTail());
        EXPECT_EQ(file->Chunks().size(), chunks);
        EXPECT_EQ(file->Damage().places.Count(), 0u);
        EXPECT_EQ(ReadAll(padded).data, sound.data);
    }
    // Bytes that are not zeros there are the start of a chunk cut off.
    std::vector<std::uint8_t> cut = bytes;
    cut.resize(bytes.size() + 0x3000, 0);
    cut[bytes.size() + 0x2000] = 1;
    EvtxFile file;
    ASSERT_EQ(file.Attach(cut), 0);
    EXPECT_TRUE(file.TruncatedTail());
    ASSERT_EQ(file.IndexDamage().Count(), 2u);  // the block, and the tail
    EXPECT_EQ(file.IndexDamage().Kept()[0].offset, bytes.size());
    EXPECT_EQ(file.IndexDamage().Kept()[1].offset, cut.size());
    bytes = cut;
    EXPECT_NE(VzrmlogInfo().find("\ntruncated\tyes\n"), std::string::npos);
}

TEST_F(LogRepairs, ARecordOfZeroedAndNullValuesIsReadWithTheValuesItHas) {
    // One event; its 21 values replaced by what a damaged record held:
    // nulls of sizes 2, 16 and 15 (read as nulls), a zeroed SID of 12 bytes
    // (4 over what it counts: the repair), a zeroed FILETIME, texts of no
    // characters.
    test::WriteEvtx(dir.File("one.evtx"), R"({"id":4624,"time":"2026-03-14T08:05:33Z"})");
    const std::vector<std::uint8_t> one = test::ReadBytes(dir.File("one.evtx"));
    BxTemplateCache cache;
    const std::span<const std::uint8_t> chunk(one.data() + kChunk, kEvtxChunkSize);
    const auto size = LoadLe<std::uint32_t>(chunk.data() + kFirstRecord + 4);
    const BxDocument document =
        ParseFragment(chunk, kFragment, static_cast<std::uint32_t>(kFirstRecord + size - 4), cache);
    ASSERT_EQ(document.values.size(), 21u);
    const std::size_t list =
        kChunk + static_cast<std::size_t>(document.values[0].data - chunk.data()) - 4 - 21 * 4;
    using Bytes = std::vector<std::uint8_t>;
    const Bytes zeros16(16, 0);
    const std::vector<std::pair<std::uint8_t, Bytes>> values = {
        {kBxString, {}},                        // Provider Name
        {kBxNull, zeros16},                     // Provider Guid
        {kBxNull, Bytes(2, 0)},                 // EventID
        {kBxUInt8, {0}},                        // Version
        {kBxUInt8, {0}},                        // Level
        {kBxUInt16, {0, 0}},                    // Task
        {kBxUInt8, {0}},                        // Opcode
        {kBxHexInt64, Bytes(8, 0)},             // Keywords
        {kBxFileTime, Bytes(8, 0)},             // TimeCreated
        {kBxUInt64, {1, 0, 0, 0, 0, 0, 0, 0}},  // EventRecordID
        {kBxNull, Bytes(15, 0)},                // ProcessID
        {kBxUInt32, {0, 0, 0, 0}},              // ThreadID
        {kBxString, {}},                        // Channel
        {kBxString, Utf16(u"RECPC")},           // Computer
        {kBxSid, Bytes(12, 0)},                 // SubjectUserSid
        {kBxString, Utf16(u"operator")},        // SubjectUserName
        {kBxString, Utf16(u"RECPC")},           // SubjectDomainName
        {kBxHexInt64, {0xE7, 3, 0, 0, 0, 0, 0, 0}},
        {kBxString, Utf16(u"D:\\Records\\case.zrm")},
        {kBxNull, {}},
        {kBxString, Utf16(u"C:\\rec.exe")}};
    const std::vector<std::uint8_t> zeroed = WithFirstRecordEnd(one, list, ValueList(values));
    const Read read = ReadAll(zeroed);
    ASSERT_EQ(read.data.size(), 1u);
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_EQ(read.repaired, 1u);
    EXPECT_EQ(read.data[0][0], (std::pair<std::string, std::string>("SubjectUserSid", "S-0-0")));
    EXPECT_EQ(read.data[0][4].second, "D:\\Records\\case.zrm");
    EXPECT_EQ(read.data[0][5].second, "");

    WriteBytes(dir.File("z.evtx"), zeroed);
    const test::CommandResult dump =
        test::RunCommand(std::string(VZRMLOG_PATH) + " dump '" + dir.File("z.evtx") + "'");
    ASSERT_EQ(dump.status, 0) << dump.output;
    EXPECT_EQ(dump.output.substr(0, dump.output.find("\tSubjectUserName")),
              "1\t\t1601-01-01T00:00:00.0000000Z\t\tRECPC\tSubjectUserSid=S-0-0")
        << dump.output;
}

TEST_F(LogRepairs, ATemplateCutShortInsideItsLastElementKeepsWhatItHolds) {
    // The definition ends inside its last Data element: the element's
    // substitution and every end token after it are gone, and the values
    // follow at once; the definition's size says where they are.
    test::WriteEvtx(dir.File("one.evtx"), R"({"id":4663,"time":"2026-03-14T08:05:33Z"})");
    const std::vector<std::uint8_t> one = test::ReadBytes(dir.File("one.evtx"));
    const Read whole = ReadAll(one);
    ASSERT_EQ(whole.data.size(), 1u);
    const std::size_t definition = kChunk + kFragment + 4 + 2 + 4 + 4;
    const auto size = LoadLe<std::uint32_t>(one.data() + definition + 20);
    const std::size_t values = definition + 24 + size;
    // The last element's content: substitution (4 bytes), then the ends of
    // Data, EventData and Event, and the end of the fragment.
    ASSERT_EQ(one[values - 1], 0x00);
    ASSERT_EQ(one[values - 2], 0x04);
    ASSERT_EQ(one[values - 8], 0x0E);
    const std::size_t cutAt = values - 6;  // inside the substitution token's index
    std::vector<std::uint8_t> tail(
        one.begin() + static_cast<long>(values),
        one.begin() + static_cast<long>(kChunk + kFirstRecord) +
            LoadLe<std::uint32_t>(one.data() + kChunk + kFirstRecord + 4) - 4);
    std::vector<std::uint8_t> cut = WithFirstRecordEnd(one, cutAt, tail);
    const auto shorter = static_cast<std::uint32_t>(cutAt - definition - 24);
    std::memcpy(cut.data() + definition + 20, &shorter, 4);
    const Read read = ReadAll(cut);
    ASSERT_EQ(read.data.size(), 1u);
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_EQ(read.repaired, 1u);
    // Every Data element before the cut holds its value; the last one has none.
    ASSERT_EQ(read.data[0].size(), whole.data[0].size());
    for (std::size_t i = 0; i + 1 < whole.data[0].size(); ++i) {
        EXPECT_EQ(read.data[0][i], whole.data[0][i]);
    }
    EXPECT_EQ(read.data[0].back().first, "ResourceAttributes");
    EXPECT_EQ(read.data[0].back().second, "");
}

TEST_F(LogRepairs, ARecordEndingInsideItsOwnTemplateIsReadWithTheElementsBeforeTheCut) {
    // The last record of a chunk whose bytes end inside a later element of
    // the template it defines; the definition's size still says more. What
    // follows the record in the chunk (zeros here) is not the template's.
    test::WriteEvtx(dir.File("one.evtx"), R"({"id":4663,"time":"2026-03-14T08:05:33Z"})");
    const std::vector<std::uint8_t> one = test::ReadBytes(dir.File("one.evtx"));
    const std::size_t definition = kChunk + kFragment + 4 + 2 + 4 + 4;
    const auto size = LoadLe<std::uint32_t>(one.data() + definition + 20);
    const std::u16string name = u"ObjectName";
    const auto* from = reinterpret_cast<const std::uint8_t*>(name.data());
    const auto at = std::search(one.begin() + static_cast<long>(definition),
                                one.begin() + static_cast<long>(definition + 24 + size), from,
                                from + 2 * name.size());
    ASSERT_NE(at, one.begin() + static_cast<long>(definition + 24 + size));
    // Inside the substitution that follows the element's Name attribute.
    const auto cutAt = static_cast<std::size_t>(at - one.begin()) + 2 * name.size() + 3;
    const Read read = ReadAll(WithFirstRecordEnd(one, cutAt, {}));
    ASSERT_EQ(read.data.size(), 1u);
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_EQ(read.repaired, 1u);
    // The Data elements up to the cut, named and without values.
    ASSERT_EQ(read.data[0].size(), 7u);
    EXPECT_EQ(read.data[0][0], (std::pair<std::string, std::string>("SubjectUserSid", "")));
    EXPECT_EQ(read.data[0][6], (std::pair<std::string, std::string>("ObjectName", "")));
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
