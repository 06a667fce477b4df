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

// A record that starts at `offset` and ends before `limit`: its size, or 0
// with what is wrong in `problem`.
std::uint32_t RecordSizeAt(const std::uint8_t* chunk, std::uint32_t offset, std::uint32_t limit,
                           const char*& problem) {
    if (offset + kEvtxRecordHeaderSize + 4 > limit) {
        problem = "record header beyond the records' end";
        return 0;
    }
    if (LoadLe<std::uint32_t>(chunk + offset) != kRecordSignature) {
        problem = "no record signature";
        return 0;
    }
    const auto size = LoadLe<std::uint32_t>(chunk + offset + 4);
    if (size < kEvtxRecordHeaderSize + 4) {
        problem = "record size too small";
        return 0;
    }
    if (size > limit - offset) {
        problem = "record size beyond the chunk";
        return 0;
    }
    if (LoadLe<std::uint32_t>(chunk + offset + size - 4) != size) {
        problem = "record size and its copy differ";
        return 0;
    }
    return size;
}

std::uint32_t RecordSizeAt(const std::uint8_t* chunk, std::uint32_t offset, std::uint32_t limit) {
    const char* problem = nullptr;
    return RecordSizeAt(chunk, offset, limit, problem);
}

// Calls found(offset, size) for each readable record and damaged(offset,
// problem, record number or 0) for each damaged place, which is skipped by
// resynchronising at the next plausible record (records are 8-byte aligned).
template <typename Found, typename Damaged>
void WalkRecords(const std::uint8_t* c, std::uint32_t limit, Found&& found, Damaged&& damaged) {
    for (std::uint32_t at = kEvtxChunkHeaderSize; at + kEvtxRecordHeaderSize <= limit;) {
        const char* problem = nullptr;
        const std::uint32_t size = RecordSizeAt(c, at, limit, problem);
        if (size == 0) {
            const bool signed_ = LoadLe<std::uint32_t>(c + at) == kRecordSignature;
            damaged(at, problem, signed_ ? LoadLe<std::uint64_t>(c + at + 8) : 0);
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

void EvtxFile::NoteTruncatedTail() {
    if (!truncatedTail_) {
        truncatedTail_ = true;
        // Placed where the bytes are missing: at the file's end.
        indexDamage_.Add(
            {DamagePlace::Kind::tail, size_, -1, 0, "the file ends before its log does"});
    }
}

std::int32_t EvtxFile::Index() {
    header_ = {};
    chunks_.clear();
    damagedBlocks_ = 0;
    truncatedTail_ = false;
    indexDamage_ = {};
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
        const std::span<std::uint8_t> head(c, std::min(available, sizeof c));
        if (const std::int32_t error = ReadAt(at, head)) {
            return error;
        }
        if (head.size() < sizeof kChunkSignature ||
            std::memcmp(c, kChunkSignature, sizeof kChunkSignature) != 0) {
            // Unused space is zeros, however short the file leaves it; anything
            // else is a chunk that lost its header, or the start of one cut off.
            bool used = false;
            if (const std::int32_t error = BlockUsed(at, available, head, used)) {
                return error;
            }
            if (used) {
                ++damagedBlocks_;
                indexDamage_.Add({DamagePlace::Kind::block, at, EvtxChunkNumber(at), 0,
                                  "block without chunk signature, not unused"});
            }
            if (used && available < kEvtxChunkSize) {
                NoteTruncatedTail();
            }
            continue;
        }
        if (available < kEvtxChunkHeaderSize) {
            NoteTruncatedTail();
            break;
        }
        if (available < kEvtxChunkSize) {
            NoteTruncatedTail();  // the last chunk is cut short
        }
        chunks_.push_back(ChunkFields(c, at, available));
    }
    // Headers of dirty logs count too few chunks, never too many: a file
    // shorter than its header's count lost its end.
    if (size_ < kEvtxFileHeaderSize + std::size_t{header_.chunkCount} * kEvtxChunkSize) {
        NoteTruncatedTail();
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
    damage.places = indexDamage_;
    EvtxChunkBuffer buffer;
    for (std::uint32_t i = 0; i < chunks_.size(); ++i) {
        const EvtxChunk& chunk = chunks_[i];
        std::span<const std::uint8_t> bytes;
        if ((damage.error = ChunkBytes(i, buffer, bytes)) != 0) {
            break;
        }
        const std::uint8_t* c = bytes.data();
        const std::int64_t number = EvtxChunkNumber(chunk.fileOffset);
        if (!chunk.headerChecksumOk) {
            ++damage.chunksBadHeader;
            damage.places.Add({DamagePlace::Kind::chunkHeader, chunk.fileOffset, number, 0,
                               "chunk header checksum"});
        }
        const std::uint32_t end = chunk.RecordsEnd();
        const bool dataOk = end == chunk.freeSpaceOffset &&
                            Crc32(c + kEvtxChunkHeaderSize, end - kEvtxChunkHeaderSize) ==
                                LoadLe<std::uint32_t>(c + 0x34);
        if (!dataOk) {
            ++damage.chunksBadData;
            damage.places.Add({DamagePlace::Kind::chunkRecords,
                               chunk.fileOffset + kEvtxChunkHeaderSize, number, 0,
                               "records checksum"});
        }
        const std::size_t before = damage.places.Count();
        ChunkRecords(i, bytes, &damage.places);
        damage.recordsDamaged += damage.places.Count() - before;
    }
    return damage;
}

std::vector<EvtxRecord> EvtxFile::ChunkRecords(std::uint32_t index,
                                               std::span<const std::uint8_t> bytes,
                                               DamagePlaces* damaged) const {
    std::vector<EvtxRecord> records;
    const std::uint8_t* c = bytes.data();
    const EvtxChunk& chunk = chunks_[index];
    const auto end = std::min(chunk.RecordsEnd(), static_cast<std::uint32_t>(bytes.size()));
    WalkRecords(
        c, end,
        [&](std::uint32_t at, std::uint32_t size) {
            records.push_back({index, at, size, LoadLe<std::uint64_t>(c + at + 8),
                               LoadLe<std::uint64_t>(c + at + 16)});
        },
        [&](std::uint32_t at, const char* problem, std::uint64_t record) {
            if (damaged != nullptr) {
                damaged->Add({DamagePlace::Kind::recordPlace, chunk.fileOffset + at,
                              EvtxChunkNumber(chunk.fileOffset), record, problem});
            }
        });
    return records;
}

}  // namespace vzrm::formats
