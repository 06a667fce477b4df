// The EVTX file: file header, 64 KiB chunks and the records in them.
//
// No count in a header is trusted: every 64 KiB block after the file header
// that carries the chunk signature is a chunk, whatever the header says, and
// chunks are visited in the order of their record numbers. Records are read
// only up to a chunk's free-space offset, so slack space (left-over records
// Windows never returns) is not part of the log. Damage is counted, with its
// place, never fatal; a partial last chunk gives the complete records it
// holds, and zeros at the end (however short the last block) are unused space. A file opened by
// path is read chunk by chunk with pread, so a file that shrinks or changes
// meanwhile gives error 1503 instead of a fault.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "formats/damage_place.h"
#include "formats/file_bytes.h"

namespace vzrm::formats {

inline constexpr std::size_t kEvtxFileHeaderSize = 0x1000;
inline constexpr std::size_t kEvtxChunkSize = 0x10000;
inline constexpr std::size_t kEvtxChunkHeaderSize = 0x200;
inline constexpr std::size_t kEvtxRecordHeaderSize = 24;

// Leaves the elements it makes without a value: a chunk's buffer is filled by
// a read at once, so clearing its 64 KiB first would be work thrown away.
template <typename T>
struct UnclearedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnclearedAllocator<U>;
    };
    UnclearedAllocator() = default;
    template <typename U>
    explicit UnclearedAllocator(const UnclearedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
};

using EvtxChunkBuffer = std::vector<std::uint8_t, UnclearedAllocator<std::uint8_t>>;

// The number of the chunk (or block) at `fileOffset`, counted from the first
// block after the file header, as other readers number them.
inline std::int64_t EvtxChunkNumber(std::size_t fileOffset) {
    return static_cast<std::int64_t>((fileOffset - kEvtxFileHeaderSize) / kEvtxChunkSize);
}

struct EvtxFileHeader {
    std::uint64_t firstChunk = 0;
    std::uint64_t lastChunk = 0;
    std::uint64_t nextRecordId = 0;
    std::uint16_t minorVersion = 0;
    std::uint16_t majorVersion = 0;
    std::uint16_t chunkCount = 0;
    std::uint32_t flags = 0;  // 1 dirty, 2 full
    bool checksumOk = false;
};

struct EvtxChunk {
    std::size_t fileOffset = 0;
    std::uint64_t firstRecordId = 0;
    std::uint64_t lastRecordId = 0;
    std::uint32_t freeSpaceOffset = 0;
    std::uint32_t available = 0;  // bytes in the file: less than 64 KiB when cut short
    bool headerChecksumOk = false;

    // Where its records end: the free-space offset, or the end of a cut chunk.
    std::uint32_t RecordsEnd() const {
        return freeSpaceOffset < available ? freeSpaceOffset : available;
    }
};

// One record, located by its chunk and its offset inside the chunk.
struct EvtxRecord {
    std::uint32_t chunk = 0;  // index into EvtxFile::Chunks()
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint64_t recordId = 0;
    std::uint64_t writtenTime = 0;
};

struct EvtxDamage {
    std::size_t chunksBadHeader = 0;  // signature present, header checksum wrong
    std::size_t chunksBadData = 0;    // records checksum wrong (records still read)
    std::size_t recordsDamaged = 0;   // places where a record could not be read
    std::int32_t error = 0;           // 1503 when the file changed while it was read
    // Each of the above, and blocks and tail of the file, with its place.
    DamagePlaces places;
};

class EvtxFile {
  public:
    static bool HasSignature(std::span<const std::uint8_t> bytes);

    // 0, or a Windows error code: 1503 from the file, 13 for a file that is
    // not an EVTX log. The file is read chunk by chunk as the records are asked for.
    std::int32_t Open(std::unique_ptr<const IFileBytes> file);
    // The same over bytes the caller keeps alive (tests and fuzzing).
    std::int32_t Attach(std::span<const std::uint8_t> bytes);

    const EvtxFileHeader& Header() const { return header_; }
    // The file's path; empty for attached bytes.
    const std::string& Path() const { return file_ ? file_->Path() : noPath_; }
    // The size of the file (or of the attached bytes) when it was opened.
    std::size_t Size() const { return size_; }
    // Chunks with the signature, ordered by record number.
    const std::vector<EvtxChunk>& Chunks() const { return chunks_; }
    // 64 KiB blocks that hold neither a chunk nor zeros (a damaged signature).
    std::size_t DamagedBlocks() const { return damagedBlocks_; }
    // The file ends inside a chunk, or before the chunks its header counts.
    bool TruncatedTail() const { return truncatedTail_; }
    // The places of the damaged blocks and of a cut tail.
    const DamagePlaces& IndexDamage() const { return indexDamage_; }
    // Damage: checksums of the records and places where no record could be
    // read. Reading never needs it (damaged places are skipped as they come),
    // so it costs a pass over the file only when asked for.
    EvtxDamage Damage() const;

    // A chunk's bytes: a view of attached bytes, or read into `buffer`.
    // 0, or 1503 when the file no longer holds them as they were.
    std::int32_t ChunkBytes(std::uint32_t chunk, EvtxChunkBuffer& buffer,
                            std::span<const std::uint8_t>& bytes) const;
    // The records of a chunk's bytes, in the chunk's order; damaged places
    // skipped and added to `damaged` when given.
    std::vector<EvtxRecord> ChunkRecords(std::uint32_t chunk, std::span<const std::uint8_t> bytes,
                                         DamagePlaces* damaged = nullptr) const;

  private:
    std::int32_t Index();
    void NoteTruncatedTail();
    std::int32_t ReadAt(std::size_t offset, std::span<std::uint8_t> out) const;
    // Whether a block without the chunk signature holds anything but zeros.
    std::int32_t BlockUsed(std::size_t at, std::size_t available,
                           std::span<const std::uint8_t> head, bool& used) const;

    std::unique_ptr<const IFileBytes> file_;
    std::string noPath_;
    std::span<const std::uint8_t> bytes_;  // attached bytes
    std::size_t size_ = 0;
    EvtxFileHeader header_;
    std::vector<EvtxChunk> chunks_;
    std::size_t damagedBlocks_ = 0;
    bool truncatedTail_ = false;
    DamagePlaces indexDamage_;  // blocks and the tail, found by Index
};

}  // namespace vzrm::formats
