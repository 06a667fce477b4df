// Whether a run of bytes holds one of two bytes, eight bytes at a time: the
// texts searched so are short, and a call of memchr per byte looked for cost
// more than the search itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vzrm {

inline bool HoldsEitherByte(const void* data, std::size_t size, std::uint8_t a, std::uint8_t b) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    // A byte of `word` is zero: the lowest such byte sets its high bit here
    // (bytes above it may be flagged falsely, which only a zero below allows).
    const auto hasZero = [](std::uint64_t word) { return (word - kOnes) & ~word & kHighs; };
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::uint64_t aa = kOnes * a;
    const std::uint64_t bb = kOnes * b;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, 8);
        if ((hasZero(word ^ aa) | hasZero(word ^ bb)) != 0) {
            return true;
        }
    }
    for (; at < size; ++at) {
        if (bytes[at] == a || bytes[at] == b) {
            return true;
        }
    }
    return false;
}

}  // namespace vzrm
