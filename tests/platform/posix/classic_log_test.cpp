// The classic interface's read rules, which the classic reader's loop relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "support/fake_services.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;

constexpr std::uint32_t kForwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
constexpr std::uint32_t kBackwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ;

class ClassicLog : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string scenario;
        for (int i = 1; i <= 5; ++i) {
            scenario += R"({"id":560,"time":"2026-03-14T08:05:3)" + std::to_string(i) +
                        R"(Z","handle":)" + std::to_string(i) + R"(,"object":"D:\\R\\Ä)" +
                        std::to_string(i) + R"(.zrm"})" + "\n";
        }
        test::WriteEvt(dir.File("Security.evt"), scenario);
        ASSERT_EQ(log.OpenBackup(dir.File("Security.evt"), handle), 0);
    }
    void TearDown() override { log.Close(handle); }

    std::vector<std::uint32_t> Numbers(const std::vector<std::uint8_t>& buffer,
                                       std::uint32_t read) {
        std::vector<std::uint32_t> numbers;
        for (std::uint32_t at = 0; at < read;) {
            EVENTLOGRECORD head;
            std::memcpy(&head, buffer.data() + at, sizeof head);
            numbers.push_back(head.RecordNumber);
            at += head.Length;
        }
        return numbers;
    }

    test::TempDir dir;
    posix::FileClassicEventLog log;
    EventLogHandle handle = 0;
};

TEST_F(ClassicLog, TooSmallABufferAsksForTheNeededSizeAndConsumesNothing) {
    std::vector<std::uint8_t> small(100);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    EXPECT_EQ(log.Read(handle, kForwards, 0, small, read, needed), kErrorInsufficientBuffer);
    EXPECT_EQ(read, 0u);
    ASSERT_GT(needed, 100u);
    std::vector<std::uint8_t> exact(needed);
    ASSERT_EQ(log.Read(handle, kForwards, 0, exact, read, needed), kErrorSuccess);
    EXPECT_EQ(read, exact.size());
    EXPECT_EQ(Numbers(exact, read), std::vector<std::uint32_t>{1});
}

TEST_F(ClassicLog, ForwardsFromTheOldestThenEndOfFile) {
    std::vector<std::uint8_t> buffer(4096);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    ASSERT_EQ(log.Read(handle, kForwards, 0, buffer, read, needed), kErrorSuccess);
    EXPECT_EQ(Numbers(buffer, read), (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(log.Read(handle, kForwards, 0, buffer, read, needed), kErrorHandleEof);
}

TEST_F(ClassicLog, BackwardsFromTheNewestAndSeekByRecordNumber) {
    std::vector<std::uint8_t> buffer(4096);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    ASSERT_EQ(log.Read(handle, kBackwards, 0, buffer, read, needed), kErrorSuccess);
    EXPECT_EQ(Numbers(buffer, read), (std::vector<std::uint32_t>{5, 4, 3, 2, 1}));
    ASSERT_EQ(
        log.Read(handle, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 3, buffer, read, needed),
        kErrorSuccess);
    EXPECT_EQ(Numbers(buffer, read), (std::vector<std::uint32_t>{3, 4, 5}));
    EXPECT_EQ(
        log.Read(handle, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 99, buffer, read, needed),
        kErrorInvalidParameter);
    EXPECT_EQ(
        log.Read(handle, EVENTLOG_FORWARDS_READ | EVENTLOG_BACKWARDS_READ, 0, buffer, read, needed),
        kErrorInvalidParameter);
}

TEST_F(ClassicLog, RecordsCarryNarrowTextsAtTheirOffsets) {
    std::vector<std::uint8_t> buffer(4096);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    ASSERT_EQ(log.Read(handle, kForwards, 0, buffer, read, needed), kErrorSuccess);
    EVENTLOGRECORD head;
    std::memcpy(&head, buffer.data(), sizeof head);
    EXPECT_EQ(head.EventID, 560u);
    EXPECT_EQ(head.EventType, EVENTLOG_AUDIT_SUCCESS);
    EXPECT_EQ(head.EventCategory, 3);
    EXPECT_EQ(head.TimeGenerated, 1773475531u);
    const char* texts = reinterpret_cast<const char*>(buffer.data() + sizeof head);
    EXPECT_STREQ(texts, "Security");
    EXPECT_STREQ(texts + 9, "RECPC");
    EXPECT_EQ(head.UserSidLength, 28u);
    EXPECT_EQ(buffer[head.UserSidOffset], 1);  // SID revision
    const char* strings = reinterpret_cast<const char*>(buffer.data() + head.StringOffset);
    EXPECT_STREQ(strings, "Security");
    strings += std::strlen(strings) + 1;
    EXPECT_STREQ(strings, "File");
    strings += std::strlen(strings) + 1;
    EXPECT_STREQ(strings, "D:\\R\\Ä1.zrm");
    EXPECT_EQ(head.NumStrings, 17);
    EXPECT_EQ(head.Length % 4, 0u);
    std::uint32_t trailing;
    std::memcpy(&trailing, buffer.data() + head.Length - 4, 4);
    EXPECT_EQ(trailing, head.Length);
}

TEST(ClassicLogOpen, ByChannelFromTheEnvironmentOrAClearError) {
    test::TempDir dir;
    test::WriteEvt(dir.File("Security.evt"), R"({"id":560,"time":"2026-03-14T08:05:33Z"})");
    posix::FileClassicEventLog log;
    EventLogHandle handle = 0;
    {
        test::ScopedEnv env("VZRM_SECURITY_LOG", dir.File("Security.evt").c_str());
        ASSERT_EQ(log.Open("Security", handle), 0);
        log.Close(handle);
    }
    {
        test::ScopedEnv env("VZRM_SECURITY_LOG", dir.File("missing.evt").c_str());
        EXPECT_EQ(log.Open("Security", handle), kErrorFileNotFound);
    }
    std::vector<std::uint8_t> buffer(64);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    EXPECT_EQ(log.Read(12345, kForwards, 0, buffer, read, needed), kErrorInvalidHandle);
}

// Records whose strings, SID or data lie outside them are read as far as
// they go and counted as damaged, as the EVTX reader counts its repairs;
// `vzrmlog info` shows the same count.
TEST(ClassicLogDamage, PartsOutsideTheRecordAreCountedAsRepaired) {
    test::TempDir dir;
    std::string scenario;
    for (int i = 1; i <= 6; ++i) {
        scenario += R"({"id":560,"time":"2026-03-14T08:05:3)" + std::to_string(i) +
                    R"(Z","handle":)" + std::to_string(i) + R"(,"object":"D:\\R\\a.zrm"})" + "\n";
    }
    const std::string path = dir.File("Security.evt");
    test::WriteEvt(path, scenario);
    std::vector<std::uint8_t> bytes = test::ReadBytes(path);
    std::vector<std::size_t> records;  // each record's start, from its signature after its length
    for (std::size_t at = 0x30 + 4; at + 4 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, "LfLe", 4) == 0 && records.size() < 6) {
            records.push_back(at - 4);
        }
    }
    ASSERT_EQ(records.size(), 6u);
    const auto put = [&](std::size_t record, std::size_t field, std::uint32_t value, int size) {
        std::memcpy(bytes.data() + records[record] + field, &value, static_cast<std::size_t>(size));
    };
    const auto length = [&](std::size_t record) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + records[record], 4);
        return value;
    };
    put(0, 36, length(0) + 100, 4);  // StringOffset outside the record
    put(1, 26, 0xFFFF, 2);           // NumStrings beyond what the record holds
    put(2, 40, 28, 4);               // a SID ...
    put(2, 44, length(2) + 8, 4);    // ... out of range
    put(3, 48, 0xFFFFFFF0, 4);       // DataLength
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));

    posix::FileClassicEventLog log;
    EventLogHandle handle = 0;
    ASSERT_EQ(log.OpenBackup(path, handle), 0);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    std::size_t events = 0;
    while (log.Read(handle, kForwards, 0, buffer, read, needed) == kErrorSuccess) {
        for (std::uint32_t at = 0; at < read; ++events) {
            EVENTLOGRECORD head;
            std::memcpy(&head, buffer.data() + at, sizeof head);
            at += head.Length;
        }
    }
    EXPECT_EQ(events, 6u) << "every record is read";
    LogReadDamage damage;
    ASSERT_TRUE(log.ReadDamage(handle, damage));
    EXPECT_EQ(damage.repairedRecords, 4u);
    EXPECT_TRUE(damage.Any());
    log.Close(handle);

    const test::CommandResult info =
        test::RunCommand(std::string(VZRMLOG_PATH) + " info '" + path + "'");
    EXPECT_NE(info.output.find("\nrepaired records\t4\n"), std::string::npos) << info.output;
}

}  // namespace
}  // namespace vzrm
