#include "formats/samba_ntacl.h"

#include <algorithm>

#include "platform/error_codes.h"

namespace vzrm::formats {

using namespace platform;
namespace {

constexpr std::int32_t kUnknownRevision = platform::kErrorUnknownRevision;
constexpr std::int32_t kInvalidDescriptor = platform::kErrorInvalidSecurityDescr;
constexpr std::size_t kInfoAt = 8;  // version, switch value, pointer
constexpr std::size_t kHashV2Size = 16;
constexpr std::size_t kHashSize = 64;
constexpr std::size_t kNtTimeSize = 8;

std::size_t AlignFour(std::size_t at) {
    return (at + 3) & ~std::size_t{3};
}

FormatError Damaged(std::size_t offset, const char* what) {
    return {kInvalidDescriptor, offset, what};
}

// Skips the zero-terminated description; false when it has no end.
bool SkipText(Bytes bytes, std::size_t& at) {
    if (at > bytes.size()) {
        return false;
    }
    const auto end = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), 0);
    if (end == bytes.end()) {
        return false;
    }
    at = static_cast<std::size_t>(end - bytes.begin()) + 1;
    return true;
}

// The end of the version's structure at kInfoAt, behind its descriptor pointer.
FormatError StructureEnd(Bytes bytes, std::uint16_t version, std::size_t& at) {
    at = kInfoAt + 4;
    switch (version) {
        case 2:
            at += kHashV2Size;
            break;
        case 3:
            at += 2 + kHashSize;
            break;
        default:
            at += 2 + kHashSize;
            if (!SkipText(bytes, at)) {
                return Damaged(kInfoAt + 4 + 2 + kHashSize, "description without an end");
            }
            at = AlignFour(at) + kNtTimeSize + kHashSize;
            break;
    }
    if (at > bytes.size()) {
        return Damaged(bytes.size(), "structure runs past the end");
    }
    return {};
}

}  // namespace

FormatError ParseSambaNtacl(Bytes bytes, NtaclView& out) {
    out = {};
    std::uint16_t level = 0;
    std::uint32_t pointer = 0;
    if (!ReadU16(bytes, 0, out.version) || !ReadU16(bytes, 2, level) ||
        !ReadU32(bytes, 4, pointer)) {
        return Damaged(0, "header runs past the end");
    }
    if (out.version < 1 || out.version > 4) {
        return {kUnknownRevision, 0, "unknown NTACL version"};
    }
    if (level != out.version) {
        return Damaged(2, "switch value differs from the version");
    }
    if (pointer == 0) {
        return {};
    }
    std::size_t at = kInfoAt;
    if (out.version > 1) {
        std::uint32_t descriptorPointer = 0;
        if (!ReadU32(bytes, kInfoAt, descriptorPointer)) {
            return Damaged(kInfoAt, "structure runs past the end");
        }
        if (descriptorPointer == 0) {
            return {};
        }
        if (FormatError error = StructureEnd(bytes, out.version, at)) {
            return error;
        }
    }
    out.descriptorAt = AlignFour(at);
    if (out.descriptorAt > bytes.size()) {
        return Damaged(bytes.size(), "descriptor missing");
    }
    out.hasDescriptor = true;
    return {};
}

}  // namespace vzrm::formats
