// The classic event-log file (".evt"): a 48-byte header, then a circular
// buffer of EVENTLOGRECORDs that wraps back to the end of the header, closed
// by an end-of-file record. Copies of live logs are often dirty: their header
// offsets are stale, so the end-of-file record is preferred when present, and
// damaged places are skipped by searching for the next record. A file opened
// by path is read a window (1 MiB) at a time with pread, so memory does not
// grow with the file: a file that fits in one window is read whole when it is
// indexed; a larger one that shrinks or changes while it is read gives error
// 1503. Only the places of the records are kept (12 bytes each). Reading
// fills the window cache: one reader of a file at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/damage_place.h"
#include "formats/file_bytes.h"
#include "formats/windowed_bytes.h"

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

    // The window size is the tests' to choose.
    explicit EvtFile(std::size_t windowSize = kDefaultWindowSize) : bytes_(windowSize) {}

    // Indexes the file's records: 0, or a Windows error code (13 for a file
    // that is not a classic log, the file's own when a read fails).
    std::int32_t Open(std::unique_ptr<const IFileBytes> file);
    // The same over bytes the caller keeps alive (tests and fuzzing).
    std::int32_t Attach(std::span<const std::uint8_t> bytes);

    const EvtFileHeader& Header() const { return header_; }
    // The records from the oldest to the newest.
    const std::vector<EvtRecordPlace>& Records() const { return records_; }
    std::size_t DamagedPlaces() const { return damaged_; }
    // Where each of them begins.
    const DamagePlaces& Places() const { return places_; }
    // No end-of-file record: the buffer's end was cut off.
    bool TruncatedTail() const { return !header_.endRecordFound; }
    // The file's path; empty for attached bytes.
    const std::string& Path() const { return bytes_.Path(); }
    std::uint64_t FileSize() const { return bytes_.Size(); }
    // The record's bytes in one piece, joined across the wrap, into `out`: 0,
    // or the file's error code (1503 when it changed since it was opened).
    std::int32_t RecordBytes(const EvtRecordPlace& place, std::vector<std::uint8_t>& out) const;
    // The same, empty when the bytes could not be read (attached bytes always can).
    std::vector<std::uint8_t> RecordBytes(const EvtRecordPlace& place) const;

  private:
    std::int32_t Index();
    std::int32_t FindEndRecord();
    std::int32_t Walk(std::uint32_t begin, std::uint32_t end);
    std::int32_t IsRecord(std::uint32_t offset, std::span<const std::uint8_t, 12> head,
                          bool& sound) const;
    // `out.size()` bytes from `offset`, going on after the header at the end.
    std::int32_t ReadWrapped(std::uint32_t offset, std::span<std::uint8_t> out) const;
    std::uint32_t Advance(std::uint32_t offset, std::uint32_t by) const;

    WindowedBytes bytes_;
    EvtFileHeader header_;
    std::vector<EvtRecordPlace> records_;
    std::size_t damaged_ = 0;
    DamagePlaces places_;
};

}  // namespace vzrm::formats
