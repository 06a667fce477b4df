// Bounds-checked little-endian reads for the file-format parsers: every read
// says whether the bytes were there, so no parser reads past its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vzrm::formats {

using Bytes = std::span<const std::uint8_t>;

// True when `count` bytes start at `offset` inside `bytes` (no overflow).
inline bool Fits(Bytes bytes, std::size_t offset, std::size_t count) {
    return offset <= bytes.size() && count <= bytes.size() - offset;
}

inline bool ReadU16(Bytes bytes, std::size_t offset, std::uint16_t& value) {
    if (!Fits(bytes, offset, 2)) {
        return false;
    }
    value = static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    return true;
}

inline bool ReadU32(Bytes bytes, std::size_t offset, std::uint32_t& value) {
    if (!Fits(bytes, offset, 4)) {
        return false;
    }
    value = static_cast<std::uint32_t>(bytes[offset]) |
            static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
            static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
            static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
    return true;
}

// A parser's verdict on bad input: the Windows code, where, and what.
struct FormatError {
    std::int32_t code = 0;
    std::size_t offset = 0;
    const char* what = "";

    explicit operator bool() const { return code != 0; }
};

}  // namespace vzrm::formats
