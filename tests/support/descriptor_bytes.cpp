#include "support/descriptor_bytes.h"

namespace vzrm::test {
namespace {

const std::vector<std::uint8_t> kEveryone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};

std::vector<std::uint8_t> Header(std::uint16_t control, std::uint32_t saclOffset) {
    // The owner SID follows the 20-byte header; sized at once (GCC's -O3
    // bounds check misreads an insert after the header).
    std::vector<std::uint8_t> bytes(20 + kEveryone.size(), 0);
    bytes[0] = 1;
    PutU16(bytes, 2, control);
    PutU32(bytes, 4, kOwnerAt);
    PutU32(bytes, 12, saclOffset);
    std::copy(kEveryone.begin(), kEveryone.end(), bytes.begin() + 20);
    return bytes;
}

}  // namespace

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    PutU16(bytes, at, static_cast<std::uint16_t>(value));
    PutU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::vector<std::uint8_t> DescriptorWithSacl(const std::vector<std::uint8_t>& aceTypes) {
    std::vector<std::uint8_t> bytes = Header(0x8010, kSaclAt);
    const std::size_t aclSize = 8 + 20 * aceTypes.size();
    bytes.resize(kSaclAt + aclSize, 0);
    bytes[kSaclAt] = 2;
    PutU16(bytes, kSaclAt + 2, static_cast<std::uint16_t>(aclSize));
    PutU16(bytes, kSaclAt + 4, static_cast<std::uint16_t>(aceTypes.size()));
    std::size_t at = kFirstAceAt;
    for (const std::uint8_t type : aceTypes) {
        bytes[at] = type;
        bytes[at + 1] = 0xC0;  // successful and failed access
        PutU16(bytes, at + 2, 20);
        PutU32(bytes, at + 4, 0x001F01FF);
        std::copy(kEveryone.begin(), kEveryone.end(), bytes.begin() + static_cast<long>(at + 8));
        at += 20;
    }
    return bytes;
}

std::vector<std::uint8_t> DescriptorWithoutSacl() {
    return Header(0x8000, 0);
}

std::vector<std::uint8_t> DescriptorWithNullSacl() {
    return Header(0x8010, 0);
}

}  // namespace vzrm::test
