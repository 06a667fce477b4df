// The classic event-log file (".evt"): a 48-byte header, then a circular
// buffer of EVENTLOGRECORDs that wraps back to the end of the header, closed
// by an end-of-file record. Copies of live logs are often dirty: their header
// offsets are stale, so the end-of-file record is preferred when present, and
// damaged places are skipped by searching for the next record. A file opened
// by path is read whole into memory at once (classic logs are small), so a
// file that changes later cannot disturb the read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/file_bytes.h"

namespace vzrm::formats {

inline constexpr std::size_t kEvtHeaderSize = 0x30;
inline constexpr std::size_t kEvtFixedRecordSize = 56;

struct EvtFileHeader {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t startOffset = 0;
    std::uint32_t endOffset = 0;
    std::uint32_t currentRecordNumber = 0;
    std::uint32_t oldestRecordNumber = 0;
    std::uint32_t flags = 0;  // 1 dirty, 2 wrapped, 4 full, 8 archive
    bool endRecordFound = false;
};

// Where one record's bytes are: up to two pieces when it wraps.
struct EvtRecordPlace {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t recordNumber = 0;
};

class EvtFile {
  public:
    static bool HasSignature(std::span<const std::uint8_t> bytes);

    // Reads the whole file, then indexes it: 0, or a Windows error code.
    std::int32_t Open(const IFileBytes& file);
    std::int32_t Attach(std::span<const std::uint8_t> bytes);

    const EvtFileHeader& Header() const { return header_; }
    // The records from the oldest to the newest.
    const std::vector<EvtRecordPlace>& Records() const { return records_; }
    std::size_t DamagedPlaces() const { return damaged_; }
    // No end-of-file record: the buffer's end was cut off.
    bool TruncatedTail() const { return !header_.endRecordFound; }
    const std::string& Path() const { return path_; }
    std::uint64_t FileSize() const { return bytes_.size(); }
    // The record's bytes in one piece, joined across the wrap.
    std::vector<std::uint8_t> RecordBytes(const EvtRecordPlace& place) const;

  private:
    std::int32_t Index();
    void Walk(std::uint32_t begin, std::uint32_t end);
    bool RecordAt(std::uint32_t offset, std::uint32_t& length) const;
    std::uint32_t Dword(std::uint32_t offset) const;  // read across the wrap
    std::uint32_t Advance(std::uint32_t offset, std::uint32_t by) const;

    std::string path_;
    std::vector<std::uint8_t> owned_;  // the file's bytes, when opened by path
    std::span<const std::uint8_t> bytes_;
    EvtFileHeader header_;
    std::vector<EvtRecordPlace> records_;
    std::size_t damaged_ = 0;
};

}  // namespace vzrm::formats
