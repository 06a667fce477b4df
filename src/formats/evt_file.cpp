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

bool IsEndRecord(const std::uint8_t* p) {
    return LoadLe<std::uint32_t>(p) == kEndRecordSize &&
           std::memcmp(p + 4, kEndMarks, sizeof kEndMarks) == 0;
}

void TakeEndRecord(const std::uint8_t* p, EvtFileHeader& header) {
    header.startOffset = LoadLe<std::uint32_t>(p + 0x14);
    header.endOffset = LoadLe<std::uint32_t>(p + 0x18);
    header.currentRecordNumber = LoadLe<std::uint32_t>(p + 0x1C);
    header.oldestRecordNumber = LoadLe<std::uint32_t>(p + 0x20);
    header.endRecordFound = true;
}

}  // namespace

bool EvtFile::HasSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kEvtHeaderSize &&
           LoadLe<std::uint32_t>(bytes.data()) == kEvtHeaderSize &&
           LoadLe<std::uint32_t>(bytes.data() + 4) == kSignature;
}

std::int32_t EvtFile::Open(std::unique_ptr<const IFileBytes> file) {
    bytes_.Open(std::move(file));
    return Index();
}

std::int32_t EvtFile::Attach(std::span<const std::uint8_t> bytes) {
    bytes_.Attach(bytes);
    return Index();
}

std::uint32_t EvtFile::Advance(std::uint32_t offset, std::uint32_t by) const {
    const auto size = static_cast<std::uint64_t>(bytes_.Size());
    std::uint64_t next = static_cast<std::uint64_t>(offset) + by;
    while (next >= size) {
        next = next - size + kEvtHeaderSize;
    }
    return static_cast<std::uint32_t>(next);
}

std::int32_t EvtFile::ReadWrapped(std::uint32_t offset, std::span<std::uint8_t> out) const {
    const std::size_t size = bytes_.Size();
    std::size_t at = offset;
    for (std::size_t done = 0; done < out.size(); at = kEvtHeaderSize) {
        if (at >= size) {
            return kErrorInvalidParameter;
        }
        const std::size_t piece = std::min(out.size() - done, size - at);
        if (const std::int32_t error = bytes_.Copy(at, out.subspan(done, piece))) {
            return error;
        }
        done += piece;
    }
    return kErrorSuccess;
}

// Whether a sound record starts at `offset`: its length, signature and trailing length.
std::int32_t EvtFile::IsRecord(std::uint32_t offset, std::span<const std::uint8_t, 12> head,
                               bool& sound) const {
    sound = false;
    const std::size_t area = bytes_.Size() - kEvtHeaderSize;
    const auto length = LoadLe<std::uint32_t>(head.data());
    if (length < kEvtFixedRecordSize + 4 || length > area || length % 4 != 0 ||
        LoadLe<std::uint32_t>(head.data() + 4) != kSignature) {
        return kErrorSuccess;
    }
    std::uint8_t trailing[4];
    if (const std::int32_t error = ReadWrapped(Advance(offset, length - 4), trailing)) {
        return error;
    }
    sound = LoadLe<std::uint32_t>(trailing) == length;
    return kErrorSuccess;
}

std::int32_t EvtFile::Index() {
    header_ = {};
    records_.clear();
    damaged_ = 0;
    places_ = {};
    // The smallest log is an empty one: the header and the end-of-file record.
    std::uint8_t h[kEvtHeaderSize];
    if (bytes_.Size() < kEvtHeaderSize + kEndRecordSize) {
        return kErrorInvalidData;
    }
    if (const std::int32_t error = bytes_.Copy(0, h)) {
        return error;
    }
    if (!HasSignature(h)) {
        return kErrorInvalidData;
    }
    header_.majorVersion = LoadLe<std::uint32_t>(h + 0x08);
    header_.minorVersion = LoadLe<std::uint32_t>(h + 0x0C);
    header_.startOffset = LoadLe<std::uint32_t>(h + 0x10);
    header_.endOffset = LoadLe<std::uint32_t>(h + 0x14);
    header_.currentRecordNumber = LoadLe<std::uint32_t>(h + 0x18);
    header_.oldestRecordNumber = LoadLe<std::uint32_t>(h + 0x1C);
    header_.flags = LoadLe<std::uint32_t>(h + 0x24);
    if (const std::int32_t error = FindEndRecord()) {
        return error;
    }
    const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.Size(), 0xFFFFFFFFu));
    if (header_.startOffset < kEvtHeaderSize || header_.startOffset >= size) {
        header_.startOffset = kEvtHeaderSize;
    }
    if (header_.endOffset < kEvtHeaderSize || header_.endOffset >= size) {
        header_.endOffset = header_.startOffset;
    }
    // The numbers say how many records to expect; no more than fit in the file.
    const std::uint32_t expected = header_.currentRecordNumber - header_.oldestRecordNumber;
    if (header_.currentRecordNumber > header_.oldestRecordNumber) {
        records_.reserve(std::min<std::size_t>(
            expected, (bytes_.Size() - kEvtHeaderSize) / (kEvtFixedRecordSize + 4)));
    }
    return Walk(header_.startOffset, header_.endOffset);
}

// The end-of-file record knows where the buffer starts and ends, also when
// the header was not written back (a dirty log): the first one after the header.
std::int32_t EvtFile::FindEndRecord() {
    const std::size_t size = bytes_.Size();
    for (std::size_t at = kEvtHeaderSize; at + kEndRecordSize <= size;) {
        std::span<const std::uint8_t> view;
        if (const std::int32_t error = bytes_.View(at, view)) {
            return error;
        }
        const std::size_t from = at;
        const std::size_t viewEnd = at + view.size();
        for (; at + kEndRecordSize <= viewEnd; at += 4) {
            if (IsEndRecord(view.data() + (at - from))) {
                TakeEndRecord(view.data() + (at - from), header_);
                return kErrorSuccess;
            }
        }
        // The places whose record runs on into the next window.
        for (; at < viewEnd && at + kEndRecordSize <= size; at += 4) {
            std::uint8_t record[kEndRecordSize];
            if (const std::int32_t error = bytes_.Copy(at, record)) {
                return error;
            }
            if (IsEndRecord(record)) {
                TakeEndRecord(record, header_);
                return kErrorSuccess;
            }
        }
    }
    return kErrorSuccess;
}

std::int32_t EvtFile::Walk(std::uint32_t begin, std::uint32_t end) {
    const std::size_t area = bytes_.Size() - kEvtHeaderSize;
    std::size_t walked = 0;  // never more than once round the buffer
    std::uint32_t at = begin;
    bool inDamage = false;
    while (walked < area) {
        if (at == end && walked > 0) {
            break;
        }
        // The length, the signature (or the end-of-file record's first mark), the number.
        std::uint8_t head[12];
        if (const std::int32_t error = ReadWrapped(at, head)) {
            return error;
        }
        const auto first = LoadLe<std::uint32_t>(head);
        if (first == kEndRecordSize && LoadLe<std::uint32_t>(head + 4) == kEndMarks[0]) {
            break;
        }
        if (first == kPadding && at > kEvtHeaderSize) {
            // Filler up to the end of the file: the records go on after the header.
            walked += bytes_.Size() - at;
            at = kEvtHeaderSize;
            continue;
        }
        bool sound = false;
        if (const std::int32_t error = IsRecord(at, head, sound)) {
            return error;
        }
        if (sound) {
            records_.push_back({at, first, LoadLe<std::uint32_t>(head + 8)});
            walked += first;
            at = Advance(at, first);
            inDamage = false;
            continue;
        }
        if (!inDamage) {
            ++damaged_;
            places_.Add({DamagePlace::Kind::recordPlace, at, -1, 0, "no sound record here"});
            inDamage = true;
        }
        walked += 4;
        at = Advance(at, 4);
    }
    return kErrorSuccess;
}

std::int32_t EvtFile::RecordBytes(const EvtRecordPlace& place,
                                  std::vector<std::uint8_t>& out) const {
    out.resize(place.length);
    return ReadWrapped(place.offset, out);
}

std::vector<std::uint8_t> EvtFile::RecordBytes(const EvtRecordPlace& place) const {
    std::vector<std::uint8_t> out;
    if (RecordBytes(place, out) != kErrorSuccess) {
        out.clear();
    }
    return out;
}

}  // namespace vzrm::formats
