// Where a run of bytes holds one of a few bytes, eight bytes at a time: the
// texts searched so are short, and a call of memchr per byte looked for cost
// more than the search itself.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vzrm {

static_assert(std::endian::native == std::endian::little, "words read low byte first");

// The place of the first of the `wanted` bytes; `size` when there is none.
template <typename... Bytes>
std::size_t FindAnyByte(const void* data, std::size_t size, Bytes... wanted) {
    static_assert(sizeof...(Bytes) > 0);
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    // A byte of `word` is zero: the lowest such byte sets its high bit here
    // (bytes above it may be flagged falsely, which only a zero below allows,
    // so the lowest flag of all the bytes looked for is a true one).
    const auto hasZero = [](std::uint64_t word) { return (word - kOnes) & ~word & kHighs; };
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, 8);
        const std::uint64_t found =
            (hasZero(word ^ (kOnes * static_cast<std::uint8_t>(wanted))) | ...);
        if (found != 0) {
            // The words were read in the machine's order; the first byte is the lowest.
            return at + static_cast<std::size_t>(std::countr_zero(found)) / 8;
        }
    }
    for (; at < size; ++at) {
        if (((bytes[at] == static_cast<std::uint8_t>(wanted)) || ...)) {
            return at;
        }
    }
    return size;
}

template <typename... Bytes>
bool HoldsAnyByte(const void* data, std::size_t size, Bytes... wanted) {
    return FindAnyByte(data, size, wanted...) != size;
}

}  // namespace vzrm
