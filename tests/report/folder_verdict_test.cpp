// The verdict on a folder's descriptor in each form it comes in.
#include "report/folder_verdict.h"

#include <gtest/gtest.h>

#include "support/descriptor_bytes.h"
#include "support/ntacl_samples.h"

namespace vzrm {
namespace {

using platform::DescriptorForm;
using platform::FolderDescriptor;

FolderVerdict Verdict(DescriptorForm form, std::vector<std::uint8_t> bytes) {
    FolderVerdict verdict = FolderVerdict::auditedWithSubfolders;
    const formats::FormatError error = VerdictOfDescriptor({form, std::move(bytes)}, verdict);
    EXPECT_FALSE(error) << error.what;
    return verdict;
}

TEST(FolderVerdict, AnyAuditEntryAmongOthersMakesTheFolderAudited) {
    for (const std::uint8_t type : {2, 7, 13, 15}) {
        EXPECT_EQ(Verdict(DescriptorForm::selfRelative, test::DescriptorWithSacl({type})),
                  FolderVerdict::audited)
            << int{type};
        EXPECT_EQ(Verdict(DescriptorForm::selfRelative,
                          test::DescriptorWithSacl({0x11, 0x12, type, 0x13})),
                  FolderVerdict::audited)
            << int{type};
    }
}

TEST(FolderVerdict, NotAuditedWithoutAuditEntries) {
    // Mandatory label, resource attribute, scoped policy, alarm and access entries.
    EXPECT_EQ(Verdict(DescriptorForm::selfRelative,
                      test::DescriptorWithSacl({0x11, 0x12, 0x13, 3, 0, 1})),
              FolderVerdict::notAudited);
    EXPECT_EQ(Verdict(DescriptorForm::selfRelative, test::DescriptorWithSacl({})),
              FolderVerdict::notAudited);
    EXPECT_EQ(Verdict(DescriptorForm::selfRelative, test::DescriptorWithoutSacl()),
              FolderVerdict::notAudited);
    EXPECT_EQ(Verdict(DescriptorForm::selfRelative, test::DescriptorWithNullSacl()),
              FolderVerdict::notAudited);
    EXPECT_EQ(Verdict(DescriptorForm::none, {}), FolderVerdict::notAudited);
}

TEST(FolderVerdict, SambaAttributesOfEachVersion) {
    for (int version = 1; version <= 4; ++version) {
        EXPECT_EQ(
            Verdict(DescriptorForm::sambaNtacl, test::FromHex(test::kNtaclAudited[version - 1])),
            FolderVerdict::audited)
            << version;
    }
    EXPECT_EQ(Verdict(DescriptorForm::sambaNtacl, test::FromHex(test::kNtaclV4WithoutSacl)),
              FolderVerdict::notAudited);
    // Samba's bytes read as a plain descriptor are damaged, not "no SACL".
    FolderVerdict verdict;
    EXPECT_EQ(VerdictOfDescriptor(
                  {DescriptorForm::selfRelative, test::FromHex(test::kNtaclAudited[3])}, verdict)
                  .code,
              1338);
}

TEST(FolderVerdict, DamageIsAnErrorWithItsOffset) {
    auto bytes = test::DescriptorWithSacl({2});
    bytes.resize(bytes.size() - 1);
    FolderVerdict verdict = FolderVerdict::audited;
    const formats::FormatError error =
        VerdictOfDescriptor({DescriptorForm::selfRelative, bytes}, verdict);
    EXPECT_EQ(error.code, 1336);
    EXPECT_EQ(error.offset, test::kSaclAt + 2);
    EXPECT_EQ(verdict, FolderVerdict::notAudited);
}

}  // namespace
}  // namespace vzrm
