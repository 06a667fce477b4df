// Self-relative security descriptors and their access-control lists, as NTFS
// keeps them (ntfs-3g's system.ntfs_acl, ntfs3's system.ntfs_security) and as
// Samba embeds them in security.NTACL. Only the structure is read: control
// flags, the lists and their entries' headers; every offset and length is
// checked against the bytes before it is followed.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/le_bytes.h"

namespace vzrm::formats {

inline constexpr std::uint16_t kSeDaclPresent = 0x0004;
inline constexpr std::uint16_t kSeSaclPresent = 0x0010;
inline constexpr std::uint16_t kSeSelfRelative = 0x8000;

inline constexpr std::uint8_t kSystemAuditAce = 2;
inline constexpr std::uint8_t kSystemAuditObjectAce = 7;
inline constexpr std::uint8_t kSystemAuditCallbackAce = 13;
inline constexpr std::uint8_t kSystemAuditCallbackObjectAce = 15;

inline constexpr std::size_t kDescriptorHeaderSize = 20;
inline constexpr std::size_t kAclHeaderSize = 8;

struct AceHeader {
    std::uint8_t type = 0;
    std::uint8_t flags = 0;
    std::uint16_t size = 0;
    std::size_t offset = 0;  // of the entry in the parsed bytes
};

struct AclView {
    std::uint8_t revision = 0;
    std::vector<AceHeader> aces;
};

struct DescriptorView {
    std::uint16_t control = 0;
    bool saclPresent = false;
    bool saclNull = false;  // present, without a list
    AclView sacl;
};

// The descriptor that starts at `start`. Its offsets count from the first of
// `bytes`: a descriptor on its own starts at 0; Samba's NDR form counts from
// the start of the whole attribute. Errors: 1338 (invalid descriptor) or 1336
// (invalid list), with the offset of the bad field.
FormatError ParseSecurityDescriptor(Bytes bytes, std::size_t start, DescriptorView& out);

// The list at `offset`; every entry's header inside the list's size.
FormatError ParseAcl(Bytes bytes, std::size_t offset, AclView& out);

// System-audit entries: plain, object, callback and callback object.
bool IsAuditAceType(std::uint8_t type);

}  // namespace vzrm::formats
