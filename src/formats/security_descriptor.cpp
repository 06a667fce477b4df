#include "formats/security_descriptor.h"

#include "platform/error_codes.h"

namespace vzrm::formats {

using namespace platform;
namespace {

constexpr std::int32_t kInvalidAcl = platform::kErrorInvalidAcl;
constexpr std::int32_t kInvalidDescriptor = platform::kErrorInvalidSecurityDescr;
constexpr std::uint8_t kAclRevision = 2;
constexpr std::uint8_t kAclRevisionDs = 4;
constexpr std::size_t kSidHeaderSize = 8;
constexpr std::uint8_t kSidMaxSubAuthorities = 15;
constexpr std::size_t kAceHeaderSize = 4;

FormatError DescriptorError(std::size_t offset, const char* what) {
    return {kInvalidDescriptor, offset, what};
}

FormatError AclError(std::size_t offset, const char* what) {
    return {kInvalidAcl, offset, what};
}

// A referenced part must lie behind the header, inside the bytes.
bool PointsBehindHeader(Bytes bytes, std::size_t start, std::uint32_t offset, std::size_t need) {
    return offset >= start + kDescriptorHeaderSize && Fits(bytes, offset, need);
}

FormatError CheckSid(Bytes bytes, std::size_t start, std::size_t field) {
    std::uint32_t offset = 0;
    ReadU32(bytes, field, offset);
    if (offset == 0) {
        return {};
    }
    if (!PointsBehindHeader(bytes, start, offset, kSidHeaderSize)) {
        return DescriptorError(field, "SID offset outside the descriptor");
    }
    const std::uint8_t revision = bytes[offset];
    const std::uint8_t count = bytes[offset + 1];
    if (revision != 1 || count > kSidMaxSubAuthorities) {
        return DescriptorError(offset, "not a SID");
    }
    if (!Fits(bytes, offset, kSidHeaderSize + 4u * count)) {
        return DescriptorError(offset, "SID runs past the end");
    }
    return {};
}

// The list named by the offset field at `field`, when its flag is set.
FormatError CheckList(Bytes bytes, std::size_t start, std::size_t field, AclView& out) {
    std::uint32_t offset = 0;
    ReadU32(bytes, field, offset);
    if (!PointsBehindHeader(bytes, start, offset, kAclHeaderSize)) {
        return DescriptorError(field, "ACL offset outside the descriptor");
    }
    return ParseAcl(bytes, offset, out);
}

}  // namespace

bool IsAuditAceType(std::uint8_t type) {
    return type == kSystemAuditAce || type == kSystemAuditObjectAce ||
           type == kSystemAuditCallbackAce || type == kSystemAuditCallbackObjectAce;
}

FormatError ParseAcl(Bytes bytes, std::size_t offset, AclView& out) {
    out = {};
    std::uint16_t size = 0;
    std::uint16_t count = 0;
    if (!Fits(bytes, offset, kAclHeaderSize)) {
        return AclError(offset, "ACL header runs past the end");
    }
    out.revision = bytes[offset];
    ReadU16(bytes, offset + 2, size);
    ReadU16(bytes, offset + 4, count);
    if (out.revision != kAclRevision && out.revision != kAclRevisionDs) {
        return AclError(offset, "unknown ACL revision");
    }
    if (size < kAclHeaderSize || !Fits(bytes, offset, size)) {
        return AclError(offset + 2, "ACL size outside the bytes");
    }
    const std::size_t end = offset + size;
    std::size_t at = offset + kAclHeaderSize;
    out.aces.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        AceHeader ace;
        ace.offset = at;
        if (end - at < kAceHeaderSize) {
            return AclError(at, "ACE header runs past the ACL");
        }
        ace.type = bytes[at];
        ace.flags = bytes[at + 1];
        ReadU16(bytes, at + 2, ace.size);
        if (ace.size < kAceHeaderSize || ace.size > end - at) {
            return AclError(at + 2, "ACE size outside the ACL");
        }
        out.aces.push_back(ace);
        at += ace.size;
    }
    return {};
}

FormatError ParseSecurityDescriptor(Bytes bytes, std::size_t start, DescriptorView& out) {
    out = {};
    if (!Fits(bytes, start, kDescriptorHeaderSize)) {
        return DescriptorError(start, "descriptor header runs past the end");
    }
    if (bytes[start] != 1) {
        return DescriptorError(start, "unknown descriptor revision");
    }
    ReadU16(bytes, start + 2, out.control);
    if ((out.control & kSeSelfRelative) == 0) {
        return DescriptorError(start + 2, "not self-relative");
    }
    for (const std::size_t field : {start + 4, start + 8}) {
        if (FormatError error = CheckSid(bytes, start, field)) {
            return error;
        }
    }
    std::uint32_t daclOffset = 0;
    ReadU32(bytes, start + 16, daclOffset);
    if ((out.control & kSeDaclPresent) != 0 && daclOffset != 0) {
        AclView dacl;
        if (FormatError error = CheckList(bytes, start, start + 16, dacl)) {
            return error;
        }
    }
    std::uint32_t saclOffset = 0;
    ReadU32(bytes, start + 12, saclOffset);
    out.saclPresent = (out.control & kSeSaclPresent) != 0;
    out.saclNull = out.saclPresent && saclOffset == 0;
    if (!out.saclPresent || out.saclNull) {
        return {};
    }
    return CheckList(bytes, start, start + 12, out.sacl);
}

}  // namespace vzrm::formats
