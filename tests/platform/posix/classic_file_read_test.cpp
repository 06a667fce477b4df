// A classic log of several windows read from its file: the records and their
// bytes as the whole file in memory gives them, and a file that shrinks while
// it is read ends the read with an error, not as a shorter log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "formats/evt_file.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/log_file_bytes.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;
using namespace vzrm::formats;

// A circular log of 3.5 windows that wrapped: about 8,000 records.
std::string WriteLargeLog(const test::TempDir& dir) {
    std::string scenario;
    for (int i = 0; i < 9000; ++i) {
        scenario += R"({"id":560,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) +
                    R"(,"object":"D:\\Records\\)" +
                    std::string(static_cast<std::size_t>(i % 97), 'r') + R"(.zrm"})" + "\n";
    }
    const std::string path = dir.File("large.evt");
    test::WriteEvt(path, scenario, 0x380000);
    return path;
}

std::size_t CountRecords(const std::vector<std::uint8_t>& buffer, std::uint32_t read) {
    std::size_t records = 0;
    for (std::uint32_t at = 0; at < read; ++records) {
        EVENTLOGRECORD head;
        std::memcpy(&head, buffer.data() + at, sizeof head);
        at += head.Length;
    }
    return records;
}

TEST(ClassicFileRead, ALogOfSeveralWindowsIsReadAsTheWholeFileIs) {
    test::TempDir dir;
    const std::string path = WriteLargeLog(dir);
    const std::vector<std::uint8_t> content = test::ReadBytes(path);
    ASSERT_GT(content.size(), 3 * kDefaultWindowSize);
    EvtFile whole;
    ASSERT_EQ(whole.Attach(content), 0);
    EvtFile file;
    ASSERT_EQ(posix::OpenEvtFile(file, path), 0);

    EXPECT_EQ(file.Path(), path);
    EXPECT_EQ(file.FileSize(), content.size());
    EXPECT_EQ(file.DamagedPlaces(), 0u);
    EXPECT_FALSE(file.TruncatedTail());
    ASSERT_EQ(file.Records().size(), whole.Records().size());
    bool wrapped = false;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < whole.Records().size(); ++i) {
        const EvtRecordPlace& place = whole.Records()[i];
        ASSERT_EQ(file.Records()[i].offset, place.offset);
        ASSERT_EQ(file.Records()[i].recordNumber, place.recordNumber);
        ASSERT_EQ(file.RecordBytes(place, bytes), 0);
        ASSERT_EQ(bytes, whole.RecordBytes(place)) << "record " << place.recordNumber;
        wrapped = wrapped || place.offset + place.length > content.size();
    }
    EXPECT_TRUE(wrapped) << "a record should wrap round from the last window to the first";
    // The newest records, oldest first.
    EXPECT_EQ(file.Records().back().recordNumber, 9000u);
    EXPECT_GT(file.Records().front().recordNumber, 1u);
}

TEST(ClassicFileRead, ALogThatShrinksDuringTheReadEndsItWithAnError) {
    test::TempDir dir;
    const std::string path = WriteLargeLog(dir);
    EvtFile whole;
    const std::vector<std::uint8_t> content = test::ReadBytes(path);
    ASSERT_EQ(whole.Attach(content), 0);
    posix::FileClassicEventLog log;
    EventLogHandle handle = 0;
    ASSERT_EQ(log.OpenBackup(path, handle), 0);
    std::vector<std::uint8_t> buffer(0x10000);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    const std::uint32_t forwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
    ASSERT_EQ(log.Read(handle, forwards, 0, buffer, read, needed), 0);
    std::size_t records = CountRecords(buffer, read);
    ASSERT_GT(records, 0u);
    ASSERT_EQ(truncate(path.c_str(), 0x100000), 0);  // a shorter export copied over it

    std::int32_t error = 0;
    while ((error = log.Read(handle, forwards, 0, buffer, read, needed)) == kErrorSuccess) {
        records += CountRecords(buffer, read);
    }
    EXPECT_EQ(error, kErrorEventlogFileChanged);
    EXPECT_LT(records, whole.Records().size());
    // It stays ended with the error, and the damage counts are still there to ask for.
    EXPECT_EQ(log.Read(handle, forwards, 0, buffer, read, needed), kErrorEventlogFileChanged);
    LogReadDamage damage;
    EXPECT_TRUE(log.ReadDamage(handle, damage));
    EXPECT_EQ(damage.path, path);
    log.Close(handle);

    // Cut before it is opened: indexing meets the cut, and the open fails.
    WriteLargeLog(dir);
    EvtFile file;
    auto bytes = std::make_unique<posix::LogFileBytes>();
    ASSERT_EQ(bytes->Open(path), 0);
    ASSERT_EQ(truncate(path.c_str(), 0x200000), 0);
    EXPECT_EQ(file.Open(std::move(bytes)), kErrorEventlogFileChanged);
}

}  // namespace
}  // namespace vzrm
