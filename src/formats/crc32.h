// CRC-32 (IEEE 802.3, as zlib computes it), used by both log formats' checksums.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vzrm::formats {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace vzrm::formats
