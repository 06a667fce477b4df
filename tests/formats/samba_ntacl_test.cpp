// Samba's security.NTACL: where each version's descriptor starts, null
// pointers, and damaged or unknown attributes.
#include "formats/samba_ntacl.h"

#include <gtest/gtest.h>

#include "formats/security_descriptor.h"
#include "support/descriptor_bytes.h"
#include "support/ntacl_samples.h"

namespace vzrm::formats {
namespace {

using test::FromHex;

TEST(SambaNtacl, EachVersionLeadsToItsDescriptor) {
    const std::size_t starts[] = {8, 28, 80, 160};
    for (int version = 1; version <= 4; ++version) {
        const auto bytes = FromHex(test::kNtaclAudited[version - 1]);
        NtaclView view;
        ASSERT_FALSE(ParseSambaNtacl(bytes, view)) << version;
        EXPECT_EQ(view.version, version);
        EXPECT_TRUE(view.hasDescriptor);
        EXPECT_EQ(view.descriptorAt, starts[version - 1]) << version;
        DescriptorView descriptor;
        ASSERT_FALSE(ParseSecurityDescriptor(bytes, view.descriptorAt, descriptor)) << version;
        ASSERT_EQ(descriptor.sacl.aces.size(), 1u) << version;
        EXPECT_EQ(descriptor.sacl.aces[0].type, kSystemAuditAce);
        EXPECT_EQ(descriptor.sacl.aces[0].flags, 0x40);  // successful access
    }
}

TEST(SambaNtacl, DescriptionPaddingBeforeTheTime) {
    const auto bytes = FromHex(test::kNtaclV4WithoutSacl);
    NtaclView view;
    ASSERT_FALSE(ParseSambaNtacl(bytes, view));
    EXPECT_EQ(view.descriptorAt, 156u);
    DescriptorView descriptor;
    ASSERT_FALSE(ParseSecurityDescriptor(bytes, view.descriptorAt, descriptor));
    EXPECT_FALSE(descriptor.saclPresent);
}

TEST(SambaNtacl, NullPointersMeanNoDescriptor) {
    auto outer = FromHex(test::kNtaclAudited[3]);
    test::PutU32(outer, 4, 0);
    NtaclView view;
    ASSERT_FALSE(ParseSambaNtacl(outer, view));
    EXPECT_FALSE(view.hasDescriptor);

    for (int version = 2; version <= 4; ++version) {
        auto inner = FromHex(test::kNtaclAudited[version - 1]);
        test::PutU32(inner, 8, 0);
        ASSERT_FALSE(ParseSambaNtacl(inner, view)) << version;
        EXPECT_FALSE(view.hasDescriptor) << version;
    }
}

TEST(SambaNtacl, UnknownAndDamagedAttributes) {
    NtaclView view;
    auto v5 = FromHex(test::kNtaclAudited[3]);
    v5[0] = v5[2] = 5;
    EXPECT_EQ(ParseSambaNtacl(v5, view).code, 1305);
    auto v0 = FromHex(test::kNtaclAudited[0]);
    v0[0] = v0[2] = 0;
    EXPECT_EQ(ParseSambaNtacl(v0, view).code, 1305);

    auto mismatch = FromHex(test::kNtaclAudited[2]);
    mismatch[2] = 4;
    const FormatError error = ParseSambaNtacl(mismatch, view);
    EXPECT_EQ(error.code, 1338);
    EXPECT_EQ(error.offset, 2u);

    // The description runs to the end without its terminating zero.
    auto endless = FromHex(test::kNtaclAudited[3]);
    endless.resize(88);
    endless[87] = 'x';
    EXPECT_EQ(ParseSambaNtacl(endless, view).code, 1338);
}

TEST(SambaNtacl, EveryTruncationIsAnErrorNeverARead) {
    for (int version = 1; version <= 4; ++version) {
        const auto whole = FromHex(test::kNtaclAudited[version - 1]);
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + size);
            NtaclView view;
            DescriptorView descriptor;
            const FormatError outer = ParseSambaNtacl(part, view);
            const bool failed =
                outer || ParseSecurityDescriptor(part, view.descriptorAt, descriptor);
            EXPECT_TRUE(failed) << "version " << version << ", " << size << " bytes";
        }
    }
}

}  // namespace
}  // namespace vzrm::formats
