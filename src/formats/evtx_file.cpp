#include "formats/evtx_file.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_reader.h"
#include "formats/crc32.h"
#include "platform/error_codes.h"

namespace vzrm::formats {

using namespace platform;
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

std::int32_t EvtxFile::Open(std::unique_ptr<const IFileBytes> file) {
    file_ = std::move(file);
    bytes_ = {};
    size_ = file_->Size();
    return Index();
}

std::int32_t EvtxFile::Attach(std::span<const std::uint8_t> bytes) {
    file_.reset();
    bytes_ = bytes;
    size_ = bytes.size();
    return Index();
}

std::int32_t EvtxFile::ReadAt(std::size_t offset, std::span<std::uint8_t> out) const {
    if (file_) {
        return file_->ReadAt(offset, out);
    }
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
        return kErrorEventlogFileChanged;
    }
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return kErrorSuccess;
}

std::int32_t EvtxFile::BlockUsed(std::size_t at, std::size_t available,
                                 std::span<const std::uint8_t> head, bool& used) const {
    const auto nonZero = [](std::span<const std::uint8_t> bytes) {
        return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
    };
    used = nonZero(head);
    if (used) {
        return kErrorSuccess;
    }
    std::vector<std::uint8_t> block(available);
    const std::int32_t error = ReadAt(at, block);
    used = error == 0 && nonZero(block);
    return error;
}

namespace {

// The fields of the file header's first 128 bytes.
EvtxFileHeader FileHeaderFields(const std::uint8_t* h) {
    EvtxFileHeader header;
    header.firstChunk = LoadLe<std::uint64_t>(h + 0x08);
    header.lastChunk = LoadLe<std::uint64_t>(h + 0x10);
    header.nextRecordId = LoadLe<std::uint64_t>(h + 0x18);
    header.minorVersion = LoadLe<std::uint16_t>(h + 0x24);
    header.majorVersion = LoadLe<std::uint16_t>(h + 0x26);
    header.chunkCount = LoadLe<std::uint16_t>(h + 0x2A);
    header.flags = LoadLe<std::uint32_t>(h + 0x78);
    header.checksumOk = Crc32(h, 0x78) == LoadLe<std::uint32_t>(h + 0x7C);
    return header;
}

// The chunk whose header `c` was read at `at`, with `available` bytes in the file.
EvtxChunk ChunkFields(const std::uint8_t* c, std::size_t at, std::size_t available) {
    EvtxChunk chunk;
    chunk.fileOffset = at;
    chunk.available = static_cast<std::uint32_t>(available);
    chunk.firstRecordId = LoadLe<std::uint64_t>(c + 0x18);
    chunk.lastRecordId = LoadLe<std::uint64_t>(c + 0x20);
    chunk.freeSpaceOffset = LoadLe<std::uint32_t>(c + 0x30);
    chunk.headerChecksumOk = ChunkHeaderChecksumOk(c);
    if (chunk.freeSpaceOffset < kEvtxChunkHeaderSize || chunk.freeSpaceOffset > kEvtxChunkSize) {
        // Without a free-space offset the records' end is unknown: read them all.
        chunk.freeSpaceOffset = kEvtxChunkSize;
    }
    return chunk;
}

}  // namespace

std::int32_t EvtxFile::Index() {
    header_ = {};
    chunks_.clear();
    damagedBlocks_ = 0;
    truncatedTail_ = false;
    std::uint8_t h[0x80];
    if (size_ < sizeof h) {
        return kErrorInvalidData;
    }
    if (const std::int32_t error = ReadAt(0, h)) {
        return error;
    }
    if (!HasSignature(h)) {
        return kErrorInvalidData;
    }
    header_ = FileHeaderFields(h);

    std::uint8_t c[kEvtxChunkHeaderSize];
    for (std::size_t at = kEvtxFileHeaderSize; at < size_; at += kEvtxChunkSize) {
        const std::size_t available = std::min(kEvtxChunkSize, size_ - at);
        if (available < kEvtxChunkSize) {
            truncatedTail_ = true;  // the last chunk is cut short
        }
        if (available < kEvtxChunkHeaderSize) {
            break;
        }
        if (const std::int32_t error = ReadAt(at, c)) {
            return error;
        }
        if (std::memcmp(c, kChunkSignature, sizeof kChunkSignature) != 0) {
            // Unused space is zeros; anything else is a chunk that lost its header.
            bool used = false;
            if (const std::int32_t error = BlockUsed(at, available, c, used)) {
                return error;
            }
            damagedBlocks_ += used ? 1 : 0;
            continue;
        }
        chunks_.push_back(ChunkFields(c, at, available));
    }
    // Headers of dirty logs count too few chunks, never too many: a file
    // shorter than its header's count lost its end.
    if (size_ < kEvtxFileHeaderSize + std::size_t{header_.chunkCount} * kEvtxChunkSize) {
        truncatedTail_ = true;
    }
    std::stable_sort(chunks_.begin(), chunks_.end(), [](const EvtxChunk& a, const EvtxChunk& b) {
        return a.firstRecordId < b.firstRecordId;
    });
    return kErrorSuccess;
}

std::int32_t EvtxFile::ChunkBytes(std::uint32_t index, EvtxChunkBuffer& buffer,
                                  std::span<const std::uint8_t>& bytes) const {
    const EvtxChunk& chunk = chunks_[index];
    if (!file_) {
        bytes = bytes_.subspan(chunk.fileOffset, chunk.available);
        return kErrorSuccess;
    }
    buffer.resize(chunk.available);
    bytes = buffer;
    return file_->ReadAt(chunk.fileOffset, buffer);
}

EvtxDamage EvtxFile::Damage() const {
    EvtxDamage damage;
    EvtxChunkBuffer buffer;
    for (std::uint32_t i = 0; i < chunks_.size(); ++i) {
        const EvtxChunk& chunk = chunks_[i];
        std::span<const std::uint8_t> bytes;
        if ((damage.error = ChunkBytes(i, buffer, bytes)) != 0) {
            break;
        }
        const std::uint8_t* c = bytes.data();
        damage.chunksBadHeader += chunk.headerChecksumOk ? 0 : 1;
        const std::uint32_t end = chunk.RecordsEnd();
        const bool dataOk = end == chunk.freeSpaceOffset &&
                            Crc32(c + kEvtxChunkHeaderSize, end - kEvtxChunkHeaderSize) ==
                                LoadLe<std::uint32_t>(c + 0x34);
        damage.chunksBadData += dataOk ? 0 : 1;
        damage.recordsDamaged += WalkRecords(c, end, [](auto, auto) {});
    }
    return damage;
}

std::vector<EvtxRecord> EvtxFile::ChunkRecords(std::uint32_t index,
                                               std::span<const std::uint8_t> bytes,
                                               std::size_t* damaged) const {
    std::vector<EvtxRecord> records;
    const std::uint8_t* c = bytes.data();
    const auto end =
        std::min(chunks_[index].RecordsEnd(), static_cast<std::uint32_t>(bytes.size()));
    const std::size_t places = WalkRecords(c, end, [&](std::uint32_t at, std::uint32_t size) {
        records.push_back({index, at, size, LoadLe<std::uint64_t>(c + at + 8),
                           LoadLe<std::uint64_t>(c + at + 16)});
    });
    if (damaged != nullptr) {
        *damaged += places;
    }
    return records;
}

}  // namespace vzrm::formats
