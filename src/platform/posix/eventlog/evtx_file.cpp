#include "platform/posix/eventlog/evtx_file.h"

#include <algorithm>
#include <cstring>

#include "platform/error_codes.h"
#include "platform/posix/eventlog/byte_reader.h"
#include "platform/posix/eventlog/crc32.h"

namespace vzrm::platform::posix {
namespace {

constexpr char kFileSignature[8] = {'E', 'l', 'f', 'F', 'i', 'l', 'e', '\0'};
constexpr char kChunkSignature[8] = {'E', 'l', 'f', 'C', 'h', 'n', 'k', '\0'};
constexpr std::uint32_t kRecordSignature = 0x00002A2A;

bool ChunkHeaderChecksumOk(const std::uint8_t* chunk) {
    std::uint32_t crc = Crc32(chunk, 0x78);
    crc = Crc32(chunk + 0x80, kEvtxChunkHeaderSize - 0x80, crc);
    return crc == LoadLe<std::uint32_t>(chunk + 0x7C);
}

// A record that starts at `offset` and ends before `limit`, or size 0.
std::uint32_t RecordSizeAt(const std::uint8_t* chunk, std::uint32_t offset, std::uint32_t limit) {
    if (offset + kEvtxRecordHeaderSize + 4 > limit ||
        LoadLe<std::uint32_t>(chunk + offset) != kRecordSignature) {
        return 0;
    }
    const auto size = LoadLe<std::uint32_t>(chunk + offset + 4);
    if (size < kEvtxRecordHeaderSize + 4 || size > limit - offset ||
        LoadLe<std::uint32_t>(chunk + offset + size - 4) != size) {
        return 0;
    }
    return size;
}

// Calls found(offset, size) for each readable record; returns the number of
// damaged places, each skipped by resynchronising at the next plausible record
// (records are 8-byte aligned).
template <typename Found>
std::size_t WalkRecords(const std::uint8_t* c, std::uint32_t limit, Found&& found) {
    std::size_t damaged = 0;
    for (std::uint32_t at = kEvtxChunkHeaderSize; at + kEvtxRecordHeaderSize <= limit;) {
        const std::uint32_t size = RecordSizeAt(c, at, limit);
        if (size == 0) {
            ++damaged;
            std::uint32_t next = (at + 8) & ~7u;
            while (next + kEvtxRecordHeaderSize <= limit && RecordSizeAt(c, next, limit) == 0) {
                next += 8;
            }
            at = next;
            continue;
        }
        found(at, size);
        at += size;
    }
    return damaged;
}

}  // namespace

bool EvtxFile::HasSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kFileSignature &&
           std::memcmp(bytes.data(), kFileSignature, sizeof kFileSignature) == 0;
}

std::int32_t EvtxFile::Open(const std::string& path) {
    if (const std::int32_t error = map_.Open(path)) {
        return error;
    }
    bytes_ = map_.Bytes();
    return Index();
}

std::int32_t EvtxFile::Attach(std::span<const std::uint8_t> bytes) {
    map_ = MappedFile();
    bytes_ = bytes;
    return Index();
}

std::int32_t EvtxFile::Index() {
    header_ = {};
    chunks_.clear();
    if (!HasSignature(bytes_) || bytes_.size() < 0x80) {
        return kErrorInvalidData;
    }
    const std::uint8_t* h = bytes_.data();
    header_.firstChunk = LoadLe<std::uint64_t>(h + 0x08);
    header_.lastChunk = LoadLe<std::uint64_t>(h + 0x10);
    header_.nextRecordId = LoadLe<std::uint64_t>(h + 0x18);
    header_.minorVersion = LoadLe<std::uint16_t>(h + 0x24);
    header_.majorVersion = LoadLe<std::uint16_t>(h + 0x26);
    header_.chunkCount = LoadLe<std::uint16_t>(h + 0x2A);
    header_.flags = LoadLe<std::uint32_t>(h + 0x78);
    header_.checksumOk = Crc32(h, 0x78) == LoadLe<std::uint32_t>(h + 0x7C);

    for (std::size_t at = kEvtxFileHeaderSize; at + kEvtxChunkSize <= bytes_.size();
         at += kEvtxChunkSize) {
        const std::uint8_t* c = bytes_.data() + at;
        // Reading a chunk's header maps the pages around it too: let them go
        // at once, so that finding the chunks of a large log costs no memory.
        struct ReleaseAround {
            const MappedFile& map;
            std::size_t at;
            ~ReleaseAround() {
                map.Release(at - std::min<std::size_t>(at, kEvtxChunkSize), 2 * kEvtxChunkSize);
            }
        } release{map_, at};
        if (std::memcmp(c, kChunkSignature, sizeof kChunkSignature) != 0) {
            continue;
        }
        EvtxChunk chunk;
        chunk.fileOffset = at;
        chunk.firstRecordId = LoadLe<std::uint64_t>(c + 0x18);
        chunk.lastRecordId = LoadLe<std::uint64_t>(c + 0x20);
        chunk.freeSpaceOffset = LoadLe<std::uint32_t>(c + 0x30);
        chunk.headerChecksumOk = ChunkHeaderChecksumOk(c);
        if (chunk.freeSpaceOffset < kEvtxChunkHeaderSize ||
            chunk.freeSpaceOffset > kEvtxChunkSize) {
            // Without a free-space offset the records' end is unknown: read them all.
            chunk.freeSpaceOffset = kEvtxChunkSize;
        }
        chunks_.push_back(chunk);
    }
    std::stable_sort(chunks_.begin(), chunks_.end(), [](const EvtxChunk& a, const EvtxChunk& b) {
        return a.firstRecordId < b.firstRecordId;
    });
    return kErrorSuccess;
}

EvtxDamage EvtxFile::Damage() const {
    EvtxDamage damage;
    for (std::uint32_t i = 0; i < chunks_.size(); ++i) {
        const EvtxChunk& chunk = chunks_[i];
        const std::uint8_t* c = bytes_.data() + chunk.fileOffset;
        damage.chunksBadHeader += chunk.headerChecksumOk ? 0 : 1;
        const bool dataOk =
            Crc32(c + kEvtxChunkHeaderSize, chunk.freeSpaceOffset - kEvtxChunkHeaderSize) ==
            LoadLe<std::uint32_t>(c + 0x34);
        damage.chunksBadData += dataOk ? 0 : 1;
        damage.recordsDamaged += WalkRecords(c, chunk.freeSpaceOffset, [](auto, auto) {});
        ReleaseChunk(i);
    }
    return damage;
}

void EvtxFile::ReleaseChunk(std::uint32_t chunk) const {
    map_.Release(chunks_[chunk].fileOffset, kEvtxChunkSize);
}

std::vector<EvtxRecord> EvtxFile::ChunkRecords(std::uint32_t index) const {
    std::vector<EvtxRecord> records;
    WalkRecords(bytes_.data() + chunks_[index].fileOffset, chunks_[index].freeSpaceOffset,
                [&](std::uint32_t at, std::uint32_t size) {
                    const std::uint8_t* c = bytes_.data() + chunks_[index].fileOffset;
                    records.push_back({index, at, size, LoadLe<std::uint64_t>(c + at + 8),
                                       LoadLe<std::uint64_t>(c + at + 16)});
                });
    return records;
}

}  // namespace vzrm::platform::posix
