// Samba's security.NTACL attribute: a little-endian NDR (32-bit) encoding of
// xattr_NTACL, a version number repeated as the union's switch value, then a
// unique pointer to the version's structure:
//   1  the descriptor itself
//   2  descriptor pointer, 16-byte hash
//   3  descriptor pointer, hash type (16 bits), 64-byte hash
//   4  as 3, then a zero-terminated UTF-8 description, an NTTIME (aligned to
//      4 bytes) and a 64-byte hash of the POSIX ACLs
// The descriptor follows, aligned to 4 bytes, in self-relative form whose
// offsets count from the start of the attribute, not of the descriptor.
#pragma once

#include <cstdint>

#include "formats/le_bytes.h"

namespace vzrm::formats {

struct NtaclView {
    std::uint16_t version = 0;
    bool hasDescriptor = false;    // a null pointer leaves the folder without one
    std::size_t descriptorAt = 0;  // where the descriptor starts
};

// Errors: 1305 (unknown version) or 1338 (damaged), with the offset.
FormatError ParseSambaNtacl(Bytes bytes, NtaclView& out);

}  // namespace vzrm::formats
