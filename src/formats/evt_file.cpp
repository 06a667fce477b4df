#include "formats/evt_file.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_reader.h"
#include "platform/error_codes.h"

namespace vzrm::formats {

using namespace platform;
namespace {

constexpr std::uint32_t kSignature = 0x654C664C;  // "LfLe"
constexpr std::uint32_t kEndRecordSize = 0x28;
constexpr std::uint32_t kEndMarks[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
constexpr std::uint32_t kPadding = 0x00000027;

}  // namespace

bool EvtFile::HasSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kEvtHeaderSize &&
           LoadLe<std::uint32_t>(bytes.data()) == kEvtHeaderSize &&
           LoadLe<std::uint32_t>(bytes.data() + 4) == kSignature;
}

std::int32_t EvtFile::Open(const IFileBytes& file) {
    std::vector<std::uint8_t> bytes(file.Size());
    if (const std::int32_t error = file.ReadAt(0, bytes)) {
        return error;
    }
    owned_ = std::move(bytes);
    bytes_ = owned_;
    path_ = file.Path();
    return Index();
}

std::int32_t EvtFile::Attach(std::span<const std::uint8_t> bytes) {
    owned_.clear();
    path_.clear();
    bytes_ = bytes;
    return Index();
}

std::uint32_t EvtFile::Advance(std::uint32_t offset, std::uint32_t by) const {
    const auto size = static_cast<std::uint64_t>(bytes_.size());
    std::uint64_t next = static_cast<std::uint64_t>(offset) + by;
    while (next >= size) {
        next = next - size + kEvtHeaderSize;
    }
    return static_cast<std::uint32_t>(next);
}

std::uint32_t EvtFile::Dword(std::uint32_t offset) const {
    std::uint8_t b[4];
    for (std::uint32_t i = 0; i < 4; ++i) {
        b[i] = bytes_[Advance(offset, i)];
    }
    return LoadLe<std::uint32_t>(b);
}

bool EvtFile::RecordAt(std::uint32_t offset, std::uint32_t& length) const {
    const std::size_t area = bytes_.size() - kEvtHeaderSize;
    length = Dword(offset);
    return length >= kEvtFixedRecordSize + 4 && length <= area && length % 4 == 0 &&
           Dword(Advance(offset, 4)) == kSignature && Dword(Advance(offset, length - 4)) == length;
}

std::int32_t EvtFile::Index() {
    header_ = {};
    records_.clear();
    damaged_ = 0;
    // The smallest log is an empty one: the header and the end-of-file record.
    if (!HasSignature(bytes_) || bytes_.size() < kEvtHeaderSize + kEndRecordSize) {
        return kErrorInvalidData;
    }
    const std::uint8_t* h = bytes_.data();
    header_.majorVersion = LoadLe<std::uint32_t>(h + 0x08);
    header_.minorVersion = LoadLe<std::uint32_t>(h + 0x0C);
    header_.startOffset = LoadLe<std::uint32_t>(h + 0x10);
    header_.endOffset = LoadLe<std::uint32_t>(h + 0x14);
    header_.currentRecordNumber = LoadLe<std::uint32_t>(h + 0x18);
    header_.oldestRecordNumber = LoadLe<std::uint32_t>(h + 0x1C);
    header_.flags = LoadLe<std::uint32_t>(h + 0x24);

    // The end-of-file record knows where the buffer starts and ends, also
    // when the header was not written back (a dirty log).
    for (std::size_t at = kEvtHeaderSize; at + kEndRecordSize <= bytes_.size(); at += 4) {
        if (LoadLe<std::uint32_t>(h + at) == kEndRecordSize &&
            std::memcmp(h + at + 4, kEndMarks, sizeof kEndMarks) == 0) {
            header_.startOffset = LoadLe<std::uint32_t>(h + at + 0x14);
            header_.endOffset = LoadLe<std::uint32_t>(h + at + 0x18);
            header_.currentRecordNumber = LoadLe<std::uint32_t>(h + at + 0x1C);
            header_.oldestRecordNumber = LoadLe<std::uint32_t>(h + at + 0x20);
            header_.endRecordFound = true;
            break;
        }
    }
    const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.size(), 0xFFFFFFFFu));
    if (header_.startOffset < kEvtHeaderSize || header_.startOffset >= size) {
        header_.startOffset = kEvtHeaderSize;
    }
    if (header_.endOffset < kEvtHeaderSize || header_.endOffset >= size) {
        header_.endOffset = header_.startOffset;
    }
    Walk(header_.startOffset, header_.endOffset);
    return kErrorSuccess;
}

void EvtFile::Walk(std::uint32_t begin, std::uint32_t end) {
    const std::size_t area = bytes_.size() - kEvtHeaderSize;
    std::size_t walked = 0;  // never more than once round the buffer
    std::uint32_t at = begin;
    bool inDamage = false;
    while (walked < area) {
        if (at == end && walked > 0) {
            break;
        }
        const std::uint32_t first = Dword(at);
        if (first == kEndRecordSize && Dword(Advance(at, 4)) == kEndMarks[0]) {
            break;
        }
        if (first == kPadding && at > kEvtHeaderSize) {
            // Filler up to the end of the file: the records go on after the header.
            walked += bytes_.size() - at;
            at = kEvtHeaderSize;
            continue;
        }
        std::uint32_t length = 0;
        if (RecordAt(at, length)) {
            records_.push_back({at, length, Dword(Advance(at, 8))});
            walked += length;
            at = Advance(at, length);
            inDamage = false;
            continue;
        }
        if (!inDamage) {
            ++damaged_;
            inDamage = true;
        }
        walked += 4;
        at = Advance(at, 4);
    }
}

std::vector<std::uint8_t> EvtFile::RecordBytes(const EvtRecordPlace& place) const {
    std::vector<std::uint8_t> out(place.length);
    const std::size_t first = std::min<std::size_t>(place.length, bytes_.size() - place.offset);
    std::memcpy(out.data(), bytes_.data() + place.offset, first);
    if (first < place.length) {
        std::memcpy(out.data() + first, bytes_.data() + kEvtHeaderSize, place.length - first);
    }
    return out;
}

}  // namespace vzrm::formats
