// Log files that shrink or change while they are read, and logs whose end
// was cut off: an error code or counted damage, never a signal, and every
// complete record still read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "formats/evt_file.h"
#include "formats/evtx_reader.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/eventlog/log_file_bytes.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;
using namespace platform::posix;
using namespace vzrm::formats;

// A log of `events` accesses; about 150 of them fill a chunk.
std::string WriteLog(const test::TempDir& dir, int events, const std::string& name = "g.evtx") {
    std::string scenario;
    for (int i = 0; i < events; ++i) {
        scenario +=
            R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i + 1) + "}\n";
    }
    test::WriteEvtx(dir.File(name), scenario);
    return dir.File(name);
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct ReadResult {
    std::size_t events = 0;
    std::int32_t error = 0;
    std::vector<std::uint64_t> records;
};

ReadResult ReadEvtx(const std::shared_ptr<EvtxFile>& file) {
    ReadResult result;
    EvtxReader reader(file);
    while (auto event = reader.Next()) {
        ++result.events;
        result.records.push_back(event->record.recordId);
    }
    result.error = reader.Error();
    return result;
}

TEST(ChangingLogs, BytesOfAFileThatShrankOrChangedAreRefused) {
    test::TempDir dir;
    test::WriteFile(dir.File("f"), std::string(10000, 'x'));
    LogFileBytes file;
    ASSERT_EQ(file.Open(dir.File("f")), 0);
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_EQ(file.ReadAt(4096, buffer), 0);
    EXPECT_EQ(file.ReadAt(8192, buffer), kErrorEventlogFileChanged);  // beyond its size

    ASSERT_EQ(truncate(dir.File("f").c_str(), 6000), 0);
    EXPECT_EQ(file.ReadAt(4096, buffer), kErrorEventlogFileChanged);  // would run past the end
    EXPECT_EQ(file.ReadAt(0, buffer), kErrorEventlogFileChanged);     // there, but changed

    // Rewritten in place with the same size: its time tells.
    test::WriteFile(dir.File("g"), std::string(10000, 'x'));
    ASSERT_EQ(file.Open(dir.File("g")), 0);
    const timespec later[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.File("g").c_str(), later, 0), 0);
    EXPECT_EQ(file.ReadAt(0, buffer), kErrorEventlogFileChanged);

    EXPECT_EQ(file.Open(dir.Path().string()), kErrorBadFileType);  // a folder
    EXPECT_EQ(file.Open(dir.File("missing")), kErrorFileNotFound);
}

TEST(ChangingLogs, AnEvtxFileThatShrinksDuringTheReadEndsItWithAnError) {
    test::TempDir dir;
    const std::string path = WriteLog(dir, 600);
    auto file = std::make_shared<EvtxFile>();
    ASSERT_EQ(OpenEvtxFile(*file, path), 0);
    ASSERT_GE(file->Chunks().size(), 3u);
    EvtxReader reader(file);
    ASSERT_TRUE(reader.Next());  // the first chunk is read
    // A new, shorter export copied over it.
    ASSERT_EQ(truncate(path.c_str(), 0x1000 + 0x10000 + 0x3000), 0);
    std::size_t more = 0;
    while (reader.Next()) {
        ++more;
    }
    EXPECT_EQ(reader.Error(), kErrorEventlogFileChanged);
    EXPECT_LT(more, 600u);
    EXPECT_FALSE(reader.Next());  // it stays ended

    // Through the modern interface: the events read first, then the error.
    WriteLog(dir, 600);
    FileModernEventLog log;
    EVT_HANDLE query = 0;
    ASSERT_EQ(log.Query(path, "*", EvtQueryFilePath, query), 0);
    EVT_HANDLE events[100];
    std::uint32_t returned = 0;
    ASSERT_EQ(log.Next(query, events, kEvtInfinite, returned), 0);
    ASSERT_EQ(truncate(path.c_str(), 0x5000), 0);
    std::int32_t error = 0;
    while ((error = log.Next(query, events, kEvtInfinite, returned)) == kErrorSuccess) {
    }
    EXPECT_EQ(error, kErrorEventlogFileChanged);
    LogReadDamage damage;
    EXPECT_TRUE(log.ReadDamage(query, damage));
    EXPECT_EQ(damage.path, path);
    EXPECT_EQ(log.Close(query), 0);
}

TEST(ChangingLogs, AClassicFileIsReadWholeWhenOpened) {
    test::TempDir dir;
    std::string scenario;
    for (int i = 0; i < 40; ++i) {
        scenario += R"({"id":560,"time":"2026-03-14T08:05:33Z"})"
                    "\n";
    }
    test::WriteEvt(dir.File("s.evt"), scenario);
    EvtFile file;
    ASSERT_EQ(platform::posix::OpenEvtFile(file, dir.File("s.evt")), 0);
    ASSERT_EQ(truncate(dir.File("s.evt").c_str(), 100), 0);
    ASSERT_EQ(file.Records().size(), 40u);
    for (const EvtRecordPlace& place : file.Records()) {
        EXPECT_EQ(file.RecordBytes(place).size(), place.length);
    }
    EXPECT_FALSE(file.TruncatedTail());
    EXPECT_EQ(file.Path(), dir.File("s.evt"));
}

TEST(ChangingLogs, APartialLastChunkGivesItsCompleteRecords) {
    test::TempDir dir;
    const std::vector<std::uint8_t> full = test::ReadBytes(WriteLog(dir, 400));
    auto whole = std::make_shared<EvtxFile>();
    ASSERT_EQ(whole->Attach(full), 0);
    const ReadResult all = ReadEvtx(whole);
    ASSERT_EQ(all.events, 400u);
    EXPECT_FALSE(whole->TruncatedTail());

    // One byte short: only the last record is lost, and the cut is damage.
    for (const std::size_t cut : {std::size_t{1}, std::size_t{0x8000}}) {
        SCOPED_TRACE(cut);
        const std::vector<std::uint8_t> bytes(full.begin(), full.end() - static_cast<long>(cut));
        WriteBytes(dir.File("cut.evtx"), bytes);
        auto file = std::make_shared<EvtxFile>();
        ASSERT_EQ(platform::posix::OpenEvtxFile(*file, dir.File("cut.evtx")), 0);
        EXPECT_TRUE(file->TruncatedTail());
        const ReadResult read = ReadEvtx(file);
        EXPECT_EQ(read.error, 0);
        // Every record that lies wholly in the bytes is read.
        std::size_t complete = 0;
        for (const EvtxChunk& chunk : whole->Chunks()) {
            formats::EvtxChunkBuffer buffer;
            std::span<const std::uint8_t> chunkBytes;
            ASSERT_EQ(whole->ChunkBytes(static_cast<std::uint32_t>(&chunk - whole->Chunks().data()),
                                        buffer, chunkBytes),
                      0);
            for (const EvtxRecord& r : whole->ChunkRecords(
                     static_cast<std::uint32_t>(&chunk - whole->Chunks().data()), chunkBytes)) {
                complete += chunk.fileOffset + r.offset + r.size <= bytes.size() ? 1 : 0;
            }
        }
        EXPECT_EQ(read.events, complete);
        EXPECT_GT(read.events, cut == 1 ? 398u : 100u);
        EXPECT_EQ(read.records,
                  std::vector<std::uint64_t>(all.records.begin(),
                                             all.records.begin() + static_cast<long>(read.events)));
    }

    // Cut at a chunk boundary: the header counts chunks that are gone.
    const std::vector<std::uint8_t> atBoundary(full.begin(), full.begin() + 0x1000 + 0x10000);
    auto file = std::make_shared<EvtxFile>();
    ASSERT_EQ(file->Attach(atBoundary), 0);
    EXPECT_TRUE(file->TruncatedTail());
}

TEST(ChangingLogs, ABlockThatLostItsChunkHeaderIsADamagedChunk) {
    test::TempDir dir;
    std::vector<std::uint8_t> bytes = test::ReadBytes(WriteLog(dir, 400));
    std::fill(bytes.begin() + 0x11000, bytes.begin() + 0x11000 + 0x200, 0);
    auto file = std::make_shared<EvtxFile>();
    ASSERT_EQ(file->Attach(bytes), 0);
    EXPECT_EQ(file->DamagedBlocks(), 1u);
    // A block of zeros is unused space, not damage.
    std::fill(bytes.begin() + 0x11000, bytes.begin() + 0x21000, 0);
    ASSERT_EQ(file->Attach(bytes), 0);
    EXPECT_EQ(file->DamagedBlocks(), 0u);
}

}  // namespace
}  // namespace vzrm
