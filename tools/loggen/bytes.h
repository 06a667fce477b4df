// Little-endian building blocks of the log writers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/wide_text.h"

namespace vzrm::loggen {

template <typename T>
void PutLe(std::vector<std::uint8_t>& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
    }
}

template <typename T>
void PatchLe(std::vector<std::uint8_t>& out, std::size_t at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[at + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
}

inline void PutBytes(std::vector<std::uint8_t>& out, std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) {
        out.push_back(b);
    }
}

// UTF-16LE code units of a narrow text, without a terminating zero.
inline void PutUtf16(std::vector<std::uint8_t>& out, const std::string& text) {
    for (char16_t unit : NarrowToWide(text)) {
        PutLe(out, static_cast<std::uint16_t>(unit));
    }
}

}  // namespace vzrm::loggen
