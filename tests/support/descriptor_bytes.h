// Security descriptors built byte by byte for tests: a self-relative
// descriptor with an owner and a SACL of the given entry types.
#pragma once

#include <cstdint>
#include <vector>

namespace vzrm::test {

// Owner Everyone, no DACL, a SACL whose entries have the given types (each
// 20 bytes: header, access mask, the Everyone SID).
std::vector<std::uint8_t> DescriptorWithSacl(const std::vector<std::uint8_t>& aceTypes);
// The SACL-present flag clear.
std::vector<std::uint8_t> DescriptorWithoutSacl();
// The SACL-present flag set with a zero offset.
std::vector<std::uint8_t> DescriptorWithNullSacl();

// Little-endian stores into a byte buffer.
void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value);
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

// Offsets of the fixed parts of DescriptorWithSacl.
inline constexpr std::size_t kOwnerAt = 20;
inline constexpr std::size_t kSaclAt = 32;
inline constexpr std::size_t kFirstAceAt = 40;

}  // namespace vzrm::test
