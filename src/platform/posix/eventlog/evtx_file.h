// The EVTX file: file header, 64 KiB chunks and the records in them.
//
// No count in a header is trusted: every 64 KiB block after the file header
// that carries the chunk signature is a chunk, whatever the header says, and
// chunks are visited in the order of their record numbers. Records are read
// only up to a chunk's free-space offset, so slack space (left-over records
// Windows never returns) is not part of the log. Damage is counted, never fatal.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/posix/eventlog/mapped_file.h"

namespace vzrm::platform::posix {

inline constexpr std::size_t kEvtxFileHeaderSize = 0x1000;
inline constexpr std::size_t kEvtxChunkSize = 0x10000;
inline constexpr std::size_t kEvtxChunkHeaderSize = 0x200;
inline constexpr std::size_t kEvtxRecordHeaderSize = 24;

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
    bool headerChecksumOk = false;

    // The chunk's bytes, for offsets that the records' binary XML uses.
    std::span<const std::uint8_t> Bytes(std::span<const std::uint8_t> file) const {
        return file.subspan(fileOffset, kEvtxChunkSize);
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
};

class EvtxFile {
  public:
    static bool HasSignature(std::span<const std::uint8_t> bytes);

    // 0, or a Windows error code: 2/5 and the like from the file, 13 for a
    // file that is not an EVTX log.
    std::int32_t Open(const std::string& path);
    // The same over bytes the caller keeps alive (tests and fuzzing).
    std::int32_t Attach(std::span<const std::uint8_t> bytes);

    const EvtxFileHeader& Header() const { return header_; }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    // Chunks with the signature and a sound header, ordered by record number.
    const std::vector<EvtxChunk>& Chunks() const { return chunks_; }
    // Damage: checksums of the records and places where no record could be
    // read. Reading never needs it (damaged places are skipped as they come),
    // so it costs a pass over the file only when asked for.
    EvtxDamage Damage() const;

    // Pages of a chunk that has been read may leave memory (files opened by path).
    void ReleaseChunk(std::uint32_t chunk) const;

    // The records of one chunk, in the chunk's order; damaged places skipped.
    std::vector<EvtxRecord> ChunkRecords(std::uint32_t chunk) const;

  private:
    std::int32_t Index();

    MappedFile map_;
    std::span<const std::uint8_t> bytes_;
    EvtxFileHeader header_;
    std::vector<EvtxChunk> chunks_;
};

}  // namespace vzrm::platform::posix
