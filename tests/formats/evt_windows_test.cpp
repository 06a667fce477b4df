// A classic log read through the file interface a window at a time gives what
// the same bytes give in memory: records that straddle windows, that wrap
// round the end of the buffer, damage and a lost end-of-file record; a read
// that fails is an error, never a shorter log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "formats/byte_reader.h"
#include "formats/evt_file.h"
#include "platform/error_codes.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace vzrm::formats;
using platform::kErrorEventlogFileChanged;

// Bytes in memory behind the file interface; counts what is read, and fails
// reads that reach `failFrom`.
class MemoryFile final : public IFileBytes {
  public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    const std::string& Path() const override { return path_; }
    std::size_t Size() const override { return bytes_.size(); }
    std::int32_t ReadAt(std::size_t offset, std::span<std::uint8_t> out) const override {
        largestRead = std::max(largestRead, out.size());
        bytesRead += out.size();
        if (offset + out.size() > failFrom || out.size() > bytes_.size() - offset) {
            return kErrorEventlogFileChanged;
        }
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
        return 0;
    }

    mutable std::size_t largestRead = 0;
    mutable std::size_t bytesRead = 0;
    std::size_t failFrom = SIZE_MAX;

  private:
    std::vector<std::uint8_t> bytes_;
    std::string path_ = "memory.evt";
};

// A circular log of `size` bytes that wrapped: records of varying lengths.
std::vector<std::uint8_t> WrappedLog(std::uint32_t size, int events) {
    std::string scenario;
    for (int i = 0; i < events; ++i) {
        scenario += R"({"id":560,"time":"2026-03-14T08:05:33Z","handle":)" + std::to_string(i) +
                    R"(,"object":"D:\\R\\)" + std::string(static_cast<std::size_t>(i % 37), 'x') +
                    R"(.zrm"})" + "\n";
    }
    test::TempDir dir;
    test::WriteEvt(dir.File("w.evt"), scenario, size);
    return test::ReadBytes(dir.File("w.evt"));
}

struct Opened {
    EvtFile file;
    MemoryFile* bytes = nullptr;  // owned by `file`

    Opened(const std::vector<std::uint8_t>& content, std::size_t window) : file(window) {
        auto memory = std::make_unique<MemoryFile>(content);
        bytes = memory.get();
        open = file.Open(std::move(memory));
    }
    std::int32_t open = 0;
};

// What the windowed read must equal: the index, the damage, every record's bytes.
void ExpectSameLog(const EvtFile& whole, const EvtFile& windowed) {
    EXPECT_EQ(windowed.Header().startOffset, whole.Header().startOffset);
    EXPECT_EQ(windowed.Header().endOffset, whole.Header().endOffset);
    EXPECT_EQ(windowed.Header().endRecordFound, whole.Header().endRecordFound);
    EXPECT_EQ(windowed.DamagedPlaces(), whole.DamagedPlaces());
    EXPECT_EQ(windowed.TruncatedTail(), whole.TruncatedTail());
    ASSERT_EQ(windowed.Records().size(), whole.Records().size());
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < whole.Records().size(); ++i) {
        const EvtRecordPlace& place = whole.Records()[i];
        EXPECT_EQ(windowed.Records()[i].offset, place.offset);
        EXPECT_EQ(windowed.Records()[i].length, place.length);
        EXPECT_EQ(windowed.Records()[i].recordNumber, place.recordNumber);
        ASSERT_EQ(windowed.RecordBytes(place, bytes), 0);
        EXPECT_EQ(bytes, whole.RecordBytes(place)) << "record " << place.recordNumber;
        // Joined across the wrap: its own length at both ends, its number after the signature.
        ASSERT_EQ(bytes.size(), place.length);
        EXPECT_EQ(LoadLe<std::uint32_t>(bytes.data()), place.length);
        EXPECT_EQ(LoadLe<std::uint32_t>(bytes.data() + 4), 0x654C664Cu);
        EXPECT_EQ(LoadLe<std::uint32_t>(bytes.data() + 8), place.recordNumber);
        EXPECT_EQ(LoadLe<std::uint32_t>(bytes.data() + place.length - 4), place.length);
    }
}

TEST(EvtWindows, SmallWindowsReadAWrappedLogAsTheWholeBytesDo) {
    const std::vector<std::uint8_t> content = WrappedLog(0x10000, 600);
    EvtFile whole;
    ASSERT_EQ(whole.Attach(content), 0);
    ASSERT_GT(whole.Records().size(), 50u);
    const auto wraps = [&](const EvtRecordPlace& p) {
        return p.offset + p.length > content.size();
    };
    ASSERT_TRUE(std::any_of(whole.Records().begin(), whole.Records().end(), wraps));
    const std::size_t endRecord = whole.Header().endOffset;
    ASSERT_EQ(LoadLe<std::uint32_t>(content.data() + endRecord), 0x28u);

    bool straddled = false;
    bool endRecordStraddled = false;
    // Windows smaller than a record, of odd sizes, and a few records large.
    for (const std::size_t window :
         {std::size_t{1}, std::size_t{7}, std::size_t{60}, std::size_t{64}, std::size_t{100},
          std::size_t{1000}, std::size_t{4096}, std::size_t{5000}}) {
        SCOPED_TRACE(window);
        Opened opened(content, window);
        ASSERT_EQ(opened.open, 0);
        ExpectSameLog(whole, opened.file);
        // Never more than a window at once; each byte read a few times at most
        // (windows smaller than the end-of-file record are read again for it).
        EXPECT_LE(opened.bytes->largestRead, window);
        if (window >= 60) {
            EXPECT_LE(opened.bytes->bytesRead, 4 * content.size());
        }
        for (const EvtRecordPlace& p : whole.Records()) {
            straddled =
                straddled || (!wraps(p) && p.offset / window != (p.offset + p.length - 1) / window);
        }
        endRecordStraddled = endRecordStraddled || endRecord / window != (endRecord + 39) / window;
    }
    EXPECT_TRUE(straddled);
    EXPECT_TRUE(endRecordStraddled);
}

TEST(EvtWindows, DamageAndALostEndRecordAreCountedAsInTheWholeBytes) {
    std::vector<std::uint8_t> content = WrappedLog(0x10000, 600);
    EvtFile whole;
    ASSERT_EQ(whole.Attach(content), 0);
    const std::vector<EvtRecordPlace> places = whole.Records();
    ASSERT_GT(places.size(), 50u);
    // Two records' signatures spoilt, and the end-of-file record's marks.
    for (const std::size_t i : {places.size() / 3, places.size() / 2}) {
        content[places[i].offset + 4] ^= 0xFF;
    }
    const std::uint32_t endRecord = whole.Header().endOffset;
    std::memset(content.data() + endRecord + 4, 0, 16);

    ASSERT_EQ(whole.Attach(content), 0);
    EXPECT_EQ(whole.DamagedPlaces(), 2u);
    EXPECT_TRUE(whole.TruncatedTail());
    EXPECT_EQ(whole.Records().size(), places.size() - 2);
    for (const std::size_t window : {std::size_t{60}, std::size_t{1000}, std::size_t{4096}}) {
        SCOPED_TRACE(window);
        Opened opened(content, window);
        ASSERT_EQ(opened.open, 0);
        ExpectSameLog(whole, opened.file);
    }
}

TEST(EvtWindows, AReadThatFailsIsTheFilesErrorNotAShorterLog) {
    const std::vector<std::uint8_t> content = WrappedLog(0x10000, 600);
    EvtFile whole;
    ASSERT_EQ(whole.Attach(content), 0);

    // While the records are indexed: at the start, in the middle, at the last byte.
    for (const std::size_t failFrom : {std::size_t{0x10}, content.size() / 2, content.size() - 1}) {
        SCOPED_TRACE(failFrom);
        EvtFile file(4096);
        auto memory = std::make_unique<MemoryFile>(content);
        memory->failFrom = failFrom;
        EXPECT_EQ(file.Open(std::move(memory)), kErrorEventlogFileChanged);
    }

    // After: a record whose bytes are not in a window at hand gives the error.
    Opened opened(content, 4096);
    ASSERT_EQ(opened.open, 0);
    opened.bytes->failFrom = 0;
    std::size_t failed = 0;
    std::vector<std::uint8_t> bytes;
    for (const EvtRecordPlace& place : whole.Records()) {
        const std::int32_t error = opened.file.RecordBytes(place, bytes);
        if (error == 0) {
            EXPECT_EQ(bytes, whole.RecordBytes(place));  // from a window read before
        } else {
            EXPECT_EQ(error, kErrorEventlogFileChanged);
            EXPECT_TRUE(opened.file.RecordBytes(place).empty());
            ++failed;
        }
    }
    EXPECT_GT(failed, whole.Records().size() / 2);
    // A window that failed is read again, not taken as read.
    opened.bytes->failFrom = SIZE_MAX;
    ExpectSameLog(whole, opened.file);
}

}  // namespace
}  // namespace vzrm
