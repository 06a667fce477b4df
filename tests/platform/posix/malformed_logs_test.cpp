// Bad input is normal input: truncated, damaged and foreign files give counted
// skips or a clear error, never a crash or a read out of bounds (the dev build
// runs these under AddressSanitizer).
#include <gtest/gtest.h>

#include "platform/posix/eventlog/log_file_bytes.h"

#include <cstring>
#include <filesystem>
#include <random>

#include "formats/byte_reader.h"
#include "formats/evt_file.h"
#include "formats/evtx_reader.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform::posix;
using namespace vzrm::formats;

// The values of an event the reader takes.
void TakeValues(const EvtxEvent& event) {
    event.document.Value("Event/System/EventID");
    event.document.Value("Event/System/TimeCreated/@SystemTime");
    event.document.Value("Event/System/Security/@UserID");
    event.document.EventData();
}

// Every event and every EventData value of the bytes, as the reader would take them.
std::size_t ReadAllEvtx(const std::vector<std::uint8_t>& bytes) {
    auto file = std::make_shared<EvtxFile>();
    if (file->Attach(bytes) != 0) {
        return 0;
    }
    EvtxReader reader(file);
    std::size_t events = 0;
    while (auto event = reader.Next()) {
        ++events;
        TakeValues(*event);
    }
    return events;
}

std::size_t ReadAllEvt(const std::vector<std::uint8_t>& bytes) {
    EvtFile file;
    if (file.Attach(bytes) != 0) {
        return 0;
    }
    for (const EvtRecordPlace& place : file.Records()) {
        NarrowEventLogRecord(file.RecordBytes(place));
    }
    return file.Records().size();
}

std::size_t ReadAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return path.ends_with(".evtx") ? ReadAllEvtx(bytes) : ReadAllEvt(bytes);
}

// What a read of damaged bytes came to: the records read, and the damage
// the reader and the file counted on the way.
struct DamagedRead {
    bool refused = false;  // not taken as a log at all
    std::size_t records = 0;
    std::size_t damage = 0;
};

DamagedRead ReadEvtxCountingDamage(const std::vector<std::uint8_t>& bytes) {
    auto file = std::make_shared<EvtxFile>();
    if (file->Attach(bytes) != 0) {
        return {.refused = true};
    }
    DamagedRead read;
    EvtxReader reader(file);
    while (auto event = reader.Next()) {
        ++read.records;
        TakeValues(*event);
    }
    const EvtxDamage damage = file->Damage();
    read.damage = damage.chunksBadHeader + damage.chunksBadData + damage.recordsDamaged +
                  file->DamagedBlocks() + (file->TruncatedTail() ? 1 : 0) + reader.DamagedPlaces() +
                  reader.SkippedRecords() + reader.RepairedRecords();
    return read;
}

DamagedRead ReadEvtCountingDamage(const std::vector<std::uint8_t>& bytes) {
    EvtFile file;
    if (file.Attach(bytes) != 0) {
        return {.refused = true};
    }
    for (const EvtRecordPlace& place : file.Records()) {
        NarrowEventLogRecord(file.RecordBytes(place));
    }
    return {.records = file.Records().size(),
            .damage = file.DamagedPlaces() + (file.TruncatedTail() ? 1 : 0)};
}

DamagedRead ReadCountingDamage(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return path.ends_with(".evtx") ? ReadEvtxCountingDamage(bytes) : ReadEvtCountingDamage(bytes);
}

std::vector<std::string> SmallSamples() {
    std::vector<std::string> files;
    for (const char* ext : {".evtx", ".evt"}) {
        for (const std::string& path : test::SampleFiles(ext)) {
            files.push_back(path);
        }
    }
    return files;
}

TEST(MalformedLogs, TruncatedAtEvery4KiBBoundary) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    for (const std::string& path : SmallSamples()) {
        SCOPED_TRACE(path);
        const std::vector<std::uint8_t> full = test::ReadBytes(path);
        const std::size_t all = ReadAll(path, full);
        // Every boundary of the small files; of the large ones, about 32 spread
        // over the file, which meet the same kinds of cut within a chunk.
        const std::size_t step =
            full.size() > 0x140000 ? (full.size() / 32 + 0xFFF) & ~std::size_t{0xFFF} : 0x1000;
        for (std::size_t size = 0; size < full.size(); size += step) {
            const std::vector<std::uint8_t> cut(full.begin(),
                                                full.begin() + static_cast<std::ptrdiff_t>(size));
            EXPECT_LE(ReadAll(path, cut), all) << "cut at " << size;
        }
    }
}

TEST(MalformedLogs, FlippedBytesAreSkippedOrCounted) {
    if (test::SamplesDir().empty()) {
        GTEST_SKIP() << "no ../shared/samples beside the repository";
    }
    std::mt19937 random(20261207);
    for (const std::string& path : SmallSamples()) {
        const std::vector<std::uint8_t> full = test::ReadBytes(path);
        if (full.size() > 0x140000) {
            continue;
        }
        SCOPED_TRACE(path);
        const DamagedRead clean = ReadCountingDamage(path, full);
        ASSERT_FALSE(clean.refused);
        std::size_t counted = 0;
        for (int round = 0; round < 40; ++round) {
            std::vector<std::uint8_t> bytes = full;
            for (int flip = 0; flip < 16; ++flip) {
                bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
            }
            const DamagedRead read = ReadCountingDamage(path, bytes);
            // Refused whole, or damage counted, or nothing the reader looks
            // at was hit: then no record is lost or gained.
            const bool damaged = read.refused || read.damage > clean.damage;
            EXPECT_TRUE(damaged || read.records == clean.records)
                << "round " << round << ": " << read.records << " records of " << clean.records
                << " with no damage counted";
            counted += damaged ? 1 : 0;
        }
        EXPECT_GT(counted, 0u) << "no round of flips was noticed";
    }
}

TEST(MalformedLogs, GeneratedLogDamagedInsideARecord) {
    test::TempDir dir;
    std::string scenario;
    for (int i = 0; i < 50; ++i) {
        scenario +=
            R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) + "}\n";
    }
    test::WriteEvtx(dir.File("g.evtx"), scenario);
    std::vector<std::uint8_t> bytes = test::ReadBytes(dir.File("g.evtx"));
    ASSERT_EQ(ReadAllEvtx(bytes), 50u);
    // Break the signature of the tenth record: it is lost, its neighbours are not.
    std::size_t at = 0x1200;
    for (int record = 0; record < 9; ++record) {
        at += LoadLe<std::uint32_t>(bytes.data() + at + 4);
    }
    bytes[at] = 0;
    auto file = std::make_shared<EvtxFile>();
    ASSERT_EQ(file->Attach(bytes), 0);
    EXPECT_EQ(file->Damage().recordsDamaged, 1u);
    EXPECT_EQ(file->Damage().chunksBadData, 1u);
    EXPECT_EQ(ReadAllEvtx(bytes), 49u);
}

TEST(MalformedLogs, ClassicStringCountBoundedByTheRecord) {
    // 64 bytes that claim 65535 strings, the first at the record's last text byte.
    std::vector<std::uint8_t> record(sizeof(platform::EVENTLOGRECORD) + 8, 0);
    platform::EVENTLOGRECORD head{};
    head.Length = static_cast<std::uint32_t>(record.size());
    head.Reserved = 0x654C664C;
    head.NumStrings = 0xFFFF;
    head.StringOffset = head.Length - 5;
    std::memcpy(record.data(), &head, sizeof head);
    std::memcpy(record.data() + record.size() - 4, &head.Length, 4);
    const std::vector<std::uint8_t> narrow = NarrowEventLogRecord(record);
    platform::EVENTLOGRECORD out{};
    std::memcpy(&out, narrow.data(), sizeof out);
    EXPECT_EQ(out.NumStrings, 0u);
    EXPECT_LE(narrow.size(), 2 * record.size());
}

// A chunk whose one long name (30000 characters) is named by every attribute of
// two templates: each template copies it 341 times, about 10 MB.
std::vector<std::uint8_t> ChunkOfLongNames(std::uint32_t& first, std::uint32_t& second) {
    std::vector<std::uint8_t> chunk(0x10000, 0);
    auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&chunk[at], &v, 2); };
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&chunk[at], &v, 4); };
    constexpr std::uint32_t kName = 0x10;
    constexpr std::uint16_t kUnits = 30000;
    put16(kName + 6, kUnits);
    for (std::size_t i = 0; i < kUnits; ++i) {
        chunk[kName + 8 + 2 * i] = 'n';
    }
    std::size_t at = (kName + 8 + 2 * kUnits + 2 + 7) & ~std::size_t{7};
    std::uint32_t* templates[] = {&first, &second};
    for (std::uint32_t* offset : templates) {
        *offset = static_cast<std::uint32_t>(at);
        const std::size_t body = at + 24;
        std::size_t p = body;
        chunk[p++] = 0x41;  // element with attributes: dependency, size, name
        p += 6;
        put32(p, kName);
        p += 8;  // the name offset, the attribute list's size
        for (int i = 0; i < 340; ++i) {
            chunk[p] = 0x06;
            put32(p + 1, kName);
            p += 5;
        }
        chunk[p++] = 0x03;
        put32(at + 20, static_cast<std::uint32_t>(p - body));
        at = p;
    }
    return chunk;
}

TEST(MalformedLogs, TemplatesOfAChunkStopAtWhatAChunkCanHold) {
    std::uint32_t first = 0, second = 0;
    std::vector<std::uint8_t> chunk = ChunkOfLongNames(first, second);
    // Two records: template instances of the two templates, without values.
    const std::uint32_t records = 0xFF00;
    for (std::uint32_t i = 0; i < 2; ++i) {
        const std::uint32_t at = records + 16 * i;
        chunk[at] = 0x0C;
        const std::uint32_t definition = i == 0 ? first : second;
        std::memcpy(&chunk[at + 6], &definition, 4);
    }
    BxTemplateCache cache;
    const BxDocument one = ParseFragment(chunk, records, records + 14, cache);
    ASSERT_TRUE(one.shape);
    EXPECT_EQ(one.shape->elements[0].attributes.size(), 340u);
    EXPECT_EQ(one.shape->elements[0].attributes[0].name, std::string(30000, 'n'));
    EXPECT_THROW(ParseFragment(chunk, records + 16, records + 30, cache), MalformedInput);
    // The second alone is read: the bound is on the chunk, not on one template.
    BxTemplateCache fresh;
    EXPECT_TRUE(ParseFragment(chunk, records + 16, records + 30, fresh).shape);
}

TEST(MalformedLogs, FilesThatAreNoLogsGiveAClearError) {
    test::TempDir dir;
    test::WriteFile(dir.File("empty.evtx"), "");
    test::WriteFile(dir.File("text.evtx"), "not an event log at all\n");
    test::WriteFile(dir.File("header-only.evtx"), std::string("ElfFile\0", 8));
    EvtxFile evtx;
    EXPECT_EQ(platform::posix::OpenEvtxFile(evtx, dir.File("empty.evtx")),
              platform::kErrorInvalidData);
    EXPECT_EQ(platform::posix::OpenEvtxFile(evtx, dir.File("text.evtx")),
              platform::kErrorInvalidData);
    EXPECT_EQ(platform::posix::OpenEvtxFile(evtx, dir.File("header-only.evtx")),
              platform::kErrorInvalidData);
    EXPECT_EQ(platform::posix::OpenEvtxFile(evtx, dir.File("missing.evtx")),
              platform::kErrorFileNotFound);
    EXPECT_EQ(platform::posix::OpenEvtxFile(evtx, dir.Path().string()),
              platform::kErrorBadFileType);  // a folder
    EvtFile evt;
    EXPECT_EQ(platform::posix::OpenEvtFile(evt, dir.File("text.evtx")),
              platform::kErrorInvalidData);
    const test::CommandResult dump =
        test::RunCommand(std::string(VZRMLOG_PATH) + " dump '" + dir.File("text.evtx") + "' 2>&1");
    EXPECT_EQ(dump.status, 1);
    EXPECT_NE(dump.output.find("not an event log"), std::string::npos) << dump.output;
}

}  // namespace
}  // namespace vzrm
