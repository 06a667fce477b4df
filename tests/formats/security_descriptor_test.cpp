// Self-relative descriptors and ACLs from bytes: flags, entries, and every way
// the offsets and sizes can point outside.
#include "formats/security_descriptor.h"

#include <gtest/gtest.h>

#include "support/descriptor_bytes.h"

namespace vzrm::formats {
namespace {

using test::DescriptorWithSacl;
using test::kFirstAceAt;
using test::kSaclAt;
using test::PutU16;
using test::PutU32;

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(SecurityDescriptor, ReadsTheSaclEntriesInOrder) {
    DescriptorView view;
    ASSERT_FALSE(ParseSecurityDescriptor(DescriptorWithSacl({2, 7, 13, 15, 0x11}), 0, view));
    EXPECT_TRUE(view.saclPresent);
    EXPECT_FALSE(view.saclNull);
    ASSERT_EQ(view.sacl.aces.size(), 5u);
    const std::uint8_t types[] = {2, 7, 13, 15, 0x11};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(view.sacl.aces[i].type, types[i]);
        EXPECT_EQ(view.sacl.aces[i].offset, kFirstAceAt + 20 * i);
        EXPECT_EQ(view.sacl.aces[i].flags, 0xC0);
    }
}

TEST(SecurityDescriptor, AuditTypesAreTheFourSystemAuditKinds) {
    for (int type = 0; type < 256; ++type) {
        const bool audit = type == 2 || type == 7 || type == 13 || type == 15;
        EXPECT_EQ(IsAuditAceType(static_cast<std::uint8_t>(type)), audit) << type;
    }
}

TEST(SecurityDescriptor, NoSaclAndNullSacl) {
    DescriptorView view;
    ASSERT_FALSE(ParseSecurityDescriptor(test::DescriptorWithoutSacl(), 0, view));
    EXPECT_FALSE(view.saclPresent);
    ASSERT_FALSE(ParseSecurityDescriptor(test::DescriptorWithNullSacl(), 0, view));
    EXPECT_TRUE(view.saclPresent);
    EXPECT_TRUE(view.saclNull);
    EXPECT_TRUE(view.sacl.aces.empty());

    // An offset without the present flag is not a SACL, even a broken one.
    std::vector<std::uint8_t> bytes = DescriptorWithSacl({2});
    PutU16(bytes, 2, 0x8000);
    bytes[kSaclAt] = 99;
    ASSERT_FALSE(ParseSecurityDescriptor(bytes, 0, view));
    EXPECT_FALSE(view.saclPresent);
}

TEST(SecurityDescriptor, ReadsWhatNtfs3gGives) {
    // system.ntfs_acl of a new folder on a volume made by mkntfs: a DACL only.
    const auto bytes = FromHex(
        "0100048014000000240000000000000034000000010200000000000520000000200200000102000000"
        "000005200000002002000002001c000100000000031400ff011f00010100000000000100000000");
    DescriptorView view;
    ASSERT_FALSE(ParseSecurityDescriptor(bytes, 0, view));
    EXPECT_EQ(view.control, 0x8004);
    EXPECT_FALSE(view.saclPresent);
}

TEST(SecurityDescriptor, EveryTruncationIsAnErrorInsideTheBytes) {
    const std::vector<std::uint8_t> whole = DescriptorWithSacl({2, 7});
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + size);
        DescriptorView view;
        const FormatError error = ParseSecurityDescriptor(part, 0, view);
        ASSERT_TRUE(error) << size;
        EXPECT_TRUE(error.code == 1336 || error.code == 1338) << size;
        EXPECT_LE(error.offset, whole.size()) << size;
    }
}

struct Damage {
    const char* name;
    void (*apply)(std::vector<std::uint8_t>&);
    std::int32_t code;
    std::size_t offset;
};

const Damage kDamages[] = {
    {"descriptor revision", [](auto& b) { b[0] = 2; }, 1338, 0},
    {"absolute form", [](auto& b) { PutU16(b, 2, 0x0010); }, 1338, 2},
    {"SACL beyond the end", [](auto& b) { PutU32(b, 12, 4000); }, 1338, 12},
    {"SACL offset overflowing", [](auto& b) { PutU32(b, 12, 0xFFFFFFFF); }, 1338, 12},
    {"SACL inside the header", [](auto& b) { PutU32(b, 12, 4); }, 1338, 12},
    {"owner beyond the end", [](auto& b) { PutU32(b, 4, 76); }, 1338, 4},
    {"owner too many sub-authorities", [](auto& b) { b[test::kOwnerAt + 1] = 16; }, 1338, 20},
    {"owner sub-authorities past the end",
     [](auto& b) {
         PutU32(b, 4, 72);
         b[72] = 1;
         b[73] = 5;
     },
     1338, 72},
    {"DACL beyond the end",
     [](auto& b) {
         PutU16(b, 2, 0x8014);
         PutU32(b, 16, 999);
     },
     1338, 16},
    {"ACL revision", [](auto& b) { b[kSaclAt] = 3; }, 1336, kSaclAt},
    {"ACL size beyond the bytes", [](auto& b) { PutU16(b, kSaclAt + 2, 100); }, 1336, kSaclAt + 2},
    {"ACL size below its header", [](auto& b) { PutU16(b, kSaclAt + 2, 4); }, 1336, kSaclAt + 2},
    {"more entries than fit", [](auto& b) { PutU16(b, kSaclAt + 4, 3); }, 1336, kFirstAceAt + 40},
    {"entry size zero", [](auto& b) { PutU16(b, kFirstAceAt + 2, 0); }, 1336, kFirstAceAt + 2},
    {"entry beyond the ACL", [](auto& b) { PutU16(b, kFirstAceAt + 22, 24); }, 1336,
     kFirstAceAt + 22},
};

TEST(SecurityDescriptor, OffsetsAndSizesPointingOutsideAreErrors) {
    for (const Damage& damage : kDamages) {
        std::vector<std::uint8_t> bytes = DescriptorWithSacl({2, 2});
        damage.apply(bytes);
        DescriptorView view;
        const FormatError error = ParseSecurityDescriptor(bytes, 0, view);
        EXPECT_EQ(error.code, damage.code) << damage.name;
        EXPECT_EQ(error.offset, damage.offset) << damage.name;
        EXPECT_STRNE(error.what, "") << damage.name;
    }
}

TEST(SecurityDescriptor, OffsetsCountFromTheStartOfTheBytes) {
    // Samba's form: the descriptor at 8, its offsets counted from 0.
    std::vector<std::uint8_t> bytes(8, 0xEE);
    std::vector<std::uint8_t> descriptor = DescriptorWithSacl({7});
    PutU32(descriptor, 4, test::kOwnerAt + 8);
    PutU32(descriptor, 12, kSaclAt + 8);
    bytes.insert(bytes.end(), descriptor.begin(), descriptor.end());
    DescriptorView view;
    ASSERT_FALSE(ParseSecurityDescriptor(bytes, 8, view));
    ASSERT_EQ(view.sacl.aces.size(), 1u);
    EXPECT_EQ(view.sacl.aces[0].type, 7);
    // A part placed before the descriptor's header is outside it.
    PutU32(bytes, 8 + 12, 2);
    EXPECT_EQ(ParseSecurityDescriptor(bytes, 8, view).code, 1338);
}

}  // namespace
}  // namespace vzrm::formats
